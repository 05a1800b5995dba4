// The port box's list from the registry's register of serial devices, and the typed port written
// back to it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "core/ports/registry_port_source.h"

namespace dekvanto::core {
namespace {

using Names = std::vector<std::string>;

// A string value of the register: name and data (the data as raw bytes, NUL included or not).
struct Value {
    std::string name;
    std::string data;
};

Value Port(std::string name, const std::string &port) {
    return {std::move(name), port + std::string(1, '\0')};
}

void SetValues(HKEY key, const std::vector<Value> &values) {
    for (const Value &value : values) {
        ASSERT_EQ(::RegSetValueExA(key, value.name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE *>(value.data.data()),
                                   static_cast<DWORD>(value.data.size())),
                  ERROR_SUCCESS);
    }
}

// Every value of the key, in the registry's order.
std::vector<Value> ReadValues(HKEY key) {
    std::vector<Value> values;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD name_size = sizeof name;
        BYTE data[1024];
        DWORD data_size = sizeof data;
        if (::RegEnumValueA(key, index, name, &name_size, nullptr, nullptr, data, &data_size) !=
            ERROR_SUCCESS) {
            return values;
        }
        values.push_back(
            {std::string(name, name_size), std::string(reinterpret_cast<char *>(data), data_size)});
    }
}

void DeleteValues(HKEY key) {
    for (const Value &value : ReadValues(key)) {
        ::RegDeleteValueA(key, value.name.c_str());
    }
}

// A register key of the test's own under HKEY_CURRENT_USER, removed afterwards.
class PortRegisterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(key_);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey.c_str());
    }
    Names List() { return PortNames(source_.ListPorts()); }

    const std::string kKey =
        "Software\\DekvantoTests\\SERIALCOMM-" + std::to_string(::GetCurrentProcessId());
    HKEY key_ = nullptr;
    RegistryPortSource source_{HKEY_CURRENT_USER, kKey};
};

TEST_F(PortRegisterTest, PortsComeInTheBoxsOrderWithDuplicatesKeptAndTheDevicesNamed) {
    SetValues(key_, {Port("\\Device\\Serial2", "COM3"), Port("\\Device\\Serial0", "COM1"),
                     Port("\\Device\\VCP0", "COM10"), Port("\\Device\\ProlificSerial0", "com2"),
                     Port("COM3", "COM3")});
    const std::vector<PortEntry> list = source_.ListPorts();
    EXPECT_EQ(PortNames(list), (Names{"COM1", "COM10", "com2", "COM3", "COM3"}));
    // The system's long value names do not end the listing; each entry keeps its device.
    EXPECT_EQ(list[0].device, "\\Device\\Serial0");
    EXPECT_EQ(list[2].device, "\\Device\\ProlificSerial0");
}

TEST_F(PortRegisterTest, AnEmptyOrMissingRegisterOffersTheTwoFixedNames) {
    EXPECT_EQ(List(), (Names{"COM1", "COM2"}));
    RegistryPortSource missing(HKEY_CURRENT_USER, kKey + "\\Missing");
    EXPECT_EQ(PortNames(missing.ListPorts()), (Names{"COM1", "COM2"}));
}

TEST_F(PortRegisterTest, DataOfTenCharactersOrMoreIsSkippedAndTheLastReadDecidesTheFixedNames) {
    // Nine characters and the NUL fit the buffer of ten; ten do not.
    SetValues(key_, {Port("A", "COM123456"), Port("B", "COM1234567"), Port("C", "COM4")});
    EXPECT_EQ(List(), (Names{"COM123456", "COM4"}));

    // The last value's data does not fit: the ports before it, then the fixed names appended.
    SetValues(key_, {Port("D", "COM99999999")});
    EXPECT_EQ(List(), (Names{"COM123456", "COM4", "COM1", "COM2"}));

    // Data stored without its NUL still reads as the port name.
    DeleteValues(key_);
    SetValues(key_, {{"E", "COM5"}, {"F", std::string("COM67\0xy", 8)}});
    EXPECT_EQ(List(), (Names{"COM5", "COM67"}));
}

TEST_F(PortRegisterTest, ATypedPortBecomesAValueNamedLikeItsDataAndIsListedFromThenOn) {
    SetValues(key_, {Port("\\Device\\Serial0", "COM1")});
    source_.RegisterTypedPort("COM7");
    const std::vector<Value> values = ReadValues(key_);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[1].name, "COM7");
    EXPECT_EQ(values[1].data, std::string("COM7\0", 5));
    EXPECT_EQ(List(), (Names{"COM1", "COM7"}));

    // A register that does not exist is not created for it.
    RegistryPortSource missing(HKEY_CURRENT_USER, kKey + "\\Missing");
    missing.RegisterTypedPort("COM8");
    HKEY created = nullptr;
    EXPECT_NE(
        ::RegOpenKeyExA(HKEY_CURRENT_USER, (kKey + "\\Missing").c_str(), 0, KEY_READ, &created),
        ERROR_SUCCESS);
}

// The system's own key, as the Settings dialog reads and writes it. Its values are put back
// afterwards.
class SystemPortRegisterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, nullptr,
                                    REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        saved_ = ReadValues(key_);
        DeleteValues(key_);
    }
    void TearDown() override {
        DeleteValues(key_);
        for (const Value &value : saved_) {
            ::RegSetValueExA(key_, value.name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE *>(value.data.data()),
                             static_cast<DWORD>(value.data.size()));
        }
        ::RegCloseKey(key_);
    }

    HKEY key_ = nullptr;
    std::vector<Value> saved_;
};

TEST_F(SystemPortRegisterTest, WithAndWithoutValuesAndWithATypedPort) {
    RegistryPortSource source;
    EXPECT_EQ(PortNames(source.ListPorts()), (Names{"COM1", "COM2"}));

    SetValues(key_, {Port("\\Device\\Serial2", "COM3"), Port("\\Device\\Serial0", "COM1")});
    EXPECT_EQ(PortNames(source.ListPorts()), (Names{"COM1", "COM3"}));

    source.RegisterTypedPort("COM7");
    EXPECT_EQ(PortNames(source.ListPorts()), (Names{"COM1", "COM3", "COM7"}));
}

}  // namespace
}  // namespace dekvanto::core
