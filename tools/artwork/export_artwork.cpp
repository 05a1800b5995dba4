// dekvanto-export-artwork: writes the window's pictures as Windows resource files, drawn by the
// same code as the Qt window's (app/qt/artwork.cpp), so that both front ends show the same icon
// and banner:
//   dekvanto.ico  the program icon, 32 x 32 pixels, 16 colours, transparent where the icon is
//   banner.bmp    the banner, 455 x 73 pixels, 256 colours
// With --icons it writes the icon instead at the desktop's usual sizes (16 to 256 pixels, PNG, in
// the icon theme's <n>x<n>/apps layout), for the Linux package's menu entries.
// Usage: dekvanto-export-artwork <folder>. make_artwork.sh builds it and runs it into
// app/win32/art, where the two files are kept in the repository, so the Windows build needs no Qt.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "qt/artwork.h"

namespace {

void Put16(std::string &out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string &out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A bottom-up device-independent bitmap's header, as both the .bmp and the .ico hold it.
void PutInfoHeader(std::string &out, int width, int height, int bits, int colours) {
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, 0);  // no compression
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(colours));
    Put32(out, 0);
}

void PutPalette(std::string &out, const QImage &image, int colours) {
    const QList<QRgb> table = image.colorTable();
    for (int i = 0; i < colours; ++i) {
        const QRgb colour = i < table.size() ? table[i] : qRgb(0, 0, 0);
        out.push_back(static_cast<char>(qBlue(colour)));
        out.push_back(static_cast<char>(qGreen(colour)));
        out.push_back(static_cast<char>(qRed(colour)));
        out.push_back(0);
    }
}

// Rows of a bitmap are padded to whole 32-bit words.
int RowBytes(int width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

std::string BannerBmp(const QImage &banner) {
    const int width = banner.width();
    const int height = banner.height();
    const int row = RowBytes(width, 8);
    std::string pixels;
    for (int y = height - 1; y >= 0; --y) {
        const uchar *line = banner.constScanLine(y);
        pixels.append(reinterpret_cast<const char *>(line), static_cast<size_t>(width));
        pixels.append(static_cast<size_t>(row - width), '\0');
    }
    std::string info;
    PutInfoHeader(info, width, height, 8, 256);
    PutPalette(info, banner, 256);
    std::string out = "BM";
    Put32(out, static_cast<uint32_t>(14 + info.size() + pixels.size()));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(14 + info.size()));
    return out + info + pixels;
}

// A 4-bit icon image: colour indices, then the mask (a set bit shows what lies behind).
std::string IconIco(const QImage &icon) {
    const int size = icon.width();
    std::string image;
    PutInfoHeader(image, size, size * 2, 4, 16);
    PutPalette(image, icon, 16);
    const QList<QRgb> table = icon.colorTable();
    const auto transparent = [&](int x, int y) {
        return qAlpha(table[icon.pixelIndex(x, y)]) == 0;
    };
    for (int y = size - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(RowBytes(size, 4)), '\0');
        for (int x = 0; x < size; ++x) {
            const int index = transparent(x, y) ? 0 : icon.pixelIndex(x, y) & 0x0F;
            row[static_cast<size_t>(x / 2)] |= static_cast<char>(x % 2 == 0 ? index << 4 : index);
        }
        image += row;
    }
    for (int y = size - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(RowBytes(size, 1)), '\0');
        for (int x = 0; x < size; ++x) {
            if (transparent(x, y)) {
                row[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
            }
        }
        image += row;
    }
    std::string out;
    Put16(out, 0);
    Put16(out, 1);  // an icon
    Put16(out, 1);  // one image
    out.push_back(static_cast<char>(size));
    out.push_back(static_cast<char>(size));
    out.push_back(16);  // colours
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 4);  // bits per pixel
    Put32(out, static_cast<uint32_t>(image.size()));
    Put32(out, 6 + 16);
    return out + image;
}

bool Write(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The desktop's icon theme layout: <folder>/<n>x<n>/apps/dekvanto.png for each usual size.
int WriteDesktopIcons(const std::string &folder) {
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString name = QString::number(size) + QLatin1Char('x') + QString::number(size);
        const QString apps = QString::fromStdString(folder) + QLatin1Char('/') + name + "/apps";
        if (!QDir().mkpath(apps) ||
            !dekvanto::qt::DesktopIcon(size).save(apps + "/dekvanto.png", "PNG")) {
            std::fprintf(stderr, "dekvanto-export-artwork: cannot write into %s\n",
                         apps.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const bool icons = argc == 3 && std::string(argv[1]) == "--icons";
    if (argc != 2 && !icons) {
        std::fprintf(stderr,
                     "usage: dekvanto-export-artwork <folder>\n"
                     "       dekvanto-export-artwork --icons <folder>\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    if (icons) {
        return WriteDesktopIcons(argv[2]);
    }
    const std::string folder = argv[1];
    const QImage banner = dekvanto::qt::BannerImage();
    const QImage icon = dekvanto::qt::IconImage();
    if (banner.format() != QImage::Format_Indexed8 || icon.format() != QImage::Format_Indexed8 ||
        icon.colorCount() > 16) {
        std::fprintf(stderr,
                     "dekvanto-export-artwork: the pictures are not in their palette formats\n");
        return 1;
    }
    if (!Write(folder + "/banner.bmp", BannerBmp(banner)) ||
        !Write(folder + "/dekvanto.ico", IconIco(icon))) {
        std::fprintf(stderr, "dekvanto-export-artwork: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
