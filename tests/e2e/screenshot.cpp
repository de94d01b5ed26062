#include "tests/e2e/screenshot.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "base/unique_handle_win.h"

namespace desktop {

namespace {

// The screen's DC is released, not deleted.
class ScreenContext {
  public:
    ScreenContext() : context_(::GetDC(nullptr)) {}
    ~ScreenContext() {
        if (context_ != nullptr) {
            ::ReleaseDC(nullptr, context_);
        }
    }
    ScreenContext(const ScreenContext&) = delete;
    ScreenContext& operator=(const ScreenContext&) = delete;

    HDC get() const { return context_; }

  private:
    HDC context_;
};

std::uint32_t Crc32(const std::string& bytes, std::size_t begin) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int bit = 0; bit < 8; ++bit) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = begin; i < bytes.size(); ++i) {
        crc = table[(crc ^ static_cast<std::uint8_t>(bytes[i])) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::string& bytes) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const char byte : bytes) {
        a = (a + static_cast<std::uint8_t>(byte)) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void AppendBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
    AppendBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = png.size();
    png.append(type, 4);
    png.append(data);
    AppendBigEndian(png, Crc32(png, typeStart));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(const std::string& raw) {
    constexpr std::size_t kMaxBlock = 65535;
    std::string out = {'\x78', '\x01'};
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(kMaxBlock, raw.size() - offset);
        const bool last = offset + length == raw.size();
        out.push_back(last ? '\x01' : '\x00');
        const auto size = static_cast<std::uint16_t>(length);
        const auto complement = static_cast<std::uint16_t>(~size);
        out.push_back(static_cast<char>(size & 0xFF));
        out.push_back(static_cast<char>(size >> 8));
        out.push_back(static_cast<char>(complement & 0xFF));
        out.push_back(static_cast<char>(complement >> 8));
        out.append(raw, offset, length);
        offset += length;
    } while (offset < raw.size());
    AppendBigEndian(out, Adler32(raw));
    return out;
}

}  // namespace

std::optional<Image> Paint(int width, int height, const std::function<bool(HDC)>& paint) {
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    ScreenContext screen;
    UniqueDeviceContext memory(::CreateCompatibleDC(screen.get()));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    if (screen.get() == nullptr || !memory || !bitmap) {
        return std::nullopt;
    }
    const HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
    const bool painted = paint(memory.get());
    ::SelectObject(memory.get(), previous);
    if (!painted) {
        return std::nullopt;
    }

    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // top-down rows
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width) * height * 4);
    if (::GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, height, bgrx.data(),
                    &format, DIB_RGB_COLORS) != height) {
        return std::nullopt;
    }
    Image image{width, height, {}};
    image.rgb.reserve(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < bgrx.size(); i += 4) {
        image.rgb.insert(image.rgb.end(), {bgrx[i + 2], bgrx[i + 1], bgrx[i]});
    }
    return image;
}

std::optional<Image> CaptureScreen(const RECT& area) {
    return Paint(area.right - area.left, area.bottom - area.top, [&area](HDC memory) {
        ScreenContext screen;
        return ::BitBlt(memory, 0, 0, area.right - area.left, area.bottom - area.top, screen.get(),
                        area.left, area.top, SRCCOPY | CAPTUREBLT) != FALSE;
    });
}

std::optional<Image> CaptureWindow(HWND window) {
    RECT area{};
    if (!::GetWindowRect(window, &area)) {
        return std::nullopt;
    }
    return CaptureScreen(area);
}

std::string PngWriter::Encode(const Image& image) {
    std::string header;
    AppendBigEndian(header, static_cast<std::uint32_t>(image.width));
    AppendBigEndian(header, static_cast<std::uint32_t>(image.height));
    header += {'\x08', '\x02', '\x00', '\x00', '\x00'};  // 8-bit RGB, no interlace

    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    std::string raw;
    raw.reserve((rowBytes + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        raw.push_back('\0');  // filter: none
        raw.append(reinterpret_cast<const char*>(image.rgb.data()) + y * rowBytes, rowBytes);
    }

    std::string png = "\x89PNG\r\n\x1a\n";
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", StoredZlib(raw));
    AppendChunk(png, "IEND", {});
    return png;
}

bool PngWriter::Write(const Image& image, const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const std::string png = Encode(image);
    file.write(png.data(), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file.flush());
}

bool SaveScreenshot(HWND window, const std::string& path) {
    const std::optional<Image> image = CaptureWindow(window);
    return image && PngWriter::Write(*image, path);
}

}  // namespace desktop
