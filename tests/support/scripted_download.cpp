#include "scripted_download.h"

namespace dekvanto::engine::testing {

ScriptedDownload::ScriptedDownload() {
    SetLoader(std::vector<uint8_t>(100, 0x5A));
    port.responder = [this](ScriptedPort &p, std::size_t index) { Respond(p.writes[index].bytes); };
}

void ScriptedDownload::SetLoader(std::vector<uint8_t> content) {
    file_source.contents["loader.bin"] = std::move(content);
    files.LoadFilePath = "loader.bin";
}

void ScriptedDownload::SetCode(std::vector<uint8_t> content) {
    file_source.contents["code.bin"] = std::move(content);
    files.AppFilePath = "code.bin";
}

void ScriptedDownload::SetPerso(std::vector<uint8_t> content) {
    file_source.contents["perso.psb"] = std::move(content);
    files.PersoFilePath = "perso.psb";
}

Frame ScriptedDownload::Classify(const std::vector<uint8_t> &bytes) {
    if (frames.empty()) {
        return Frame::kTarget;
    }
    const Frame last = frames.back().kind;
    switch (last) {
        case Frame::kTarget:
            return Frame::kLine;
        case Frame::kLine:
        case Frame::kLoader:
            return bytes == std::vector<uint8_t>{0, 0} ? Frame::kLoaderEnd : Frame::kLoader;
        case Frame::kLoaderEnd:
            return Frame::kRequest;
        case Frame::kRequest:
            return (flags_ & 1) != 0 ? Frame::kCodeSize : Frame::kPersoSize;
        case Frame::kCodeSize:
        case Frame::kCode:
            return code_left_ > 0 ? Frame::kCode : Frame::kSum;
        case Frame::kSum:
            return Frame::kPersoSize;
        case Frame::kPersoSize:
        case Frame::kPerso:
            return Frame::kPerso;
    }
    return Frame::kPerso;
}

void ScriptedDownload::Queue(Frame kind, int n, std::vector<uint8_t> normal) {
    const auto found = overrides.find({kind, n});
    const auto &answer = found != overrides.end() ? found->second : normal;
    port.answers.insert(port.answers.end(), answer.begin(), answer.end());
}

void ScriptedDownload::Respond(const std::vector<uint8_t> &bytes) {
    const Frame kind = Classify(bytes);
    frames.push_back({kind, bytes, port.bit_rate});
    const int n = counts_[kind]++;
    const uint32_t size = bytes.size() >= 7
                              ? bytes[2] | bytes[3] << 8 | bytes[4] << 16 | uint32_t(bytes[5]) << 24
                              : 0;
    switch (kind) {
        case Frame::kTarget:
            break;
        case Frame::kLine:
            Queue(kind, n, {0x06});
            break;
        case Frame::kLoader:
            Queue(kind, n, {0x06});
            break;
        case Frame::kLoaderEnd:
            Queue(kind, n, {'8'});
            break;
        case Frame::kRequest:
            flags_ = bytes[0] & 3;
            if (flags_ == 2) {
                Queue(kind, n, {'8'});  // no code file: the resident boot loader is ready at once
            }
            break;
        case Frame::kCodeSize:
            code_left_ = size;
            Queue(kind, n, {0x06});
            break;
        case Frame::kCode:
            code_left_ -= static_cast<uint32_t>(bytes.size() - 3);
            Queue(kind, n, {0x06});
            break;
        case Frame::kSum:
            Queue(kind, n,
                  (flags_ & 2) != 0 ? std::vector<uint8_t>{0x06, '8', '8', '8'}
                                    : std::vector<uint8_t>{0x06, '8', '8'});
            break;
        case Frame::kPersoSize:
            perso_left_ = size;
            Queue(kind, n, {0x06});
            break;
        case Frame::kPerso:
            perso_left_ -= static_cast<uint32_t>(bytes.size() - 3);
            Queue(kind, n,
                  perso_left_ == 0 ? std::vector<uint8_t>{0x06, '8'} : std::vector<uint8_t>{0x06});
            break;
    }
}

std::vector<uint8_t> ScriptedDownload::Received(Frame kind) const {
    std::vector<uint8_t> data;
    const std::size_t header = kind == Frame::kLoader ? 1 : 2;
    for (const auto &f : frames) {
        if (f.kind == kind) {
            data.insert(data.end(), f.bytes.begin() + header, f.bytes.end() - 1);
        }
    }
    return data;
}

int ScriptedDownload::CountFrames(Frame kind) const {
    int count = 0;
    for (const auto &f : frames) {
        count += f.kind == kind ? 1 : 0;
    }
    return count;
}

}  // namespace dekvanto::engine::testing
