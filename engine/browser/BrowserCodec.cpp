// ICU behind the browser reading: its converters decode every encoding a label may name
// (each replacing what it cannot decode with U+FFFD), and its charset detector guesses.
// Three encodings need no converter: x-user-defined and ISO-8859-16 map each byte through a
// formula or a table, and "replacement" reads any page as one U+FFFD.
#include "BrowserCodec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <array>
#include <memory>

#include "Utf.h"

namespace gridmint::browser {

namespace {

struct Converter {
    std::string_view encoding;
    const char* icuName;
    bool singleByte = true;
};

// windows-31j, windows-949, gb18030 and Big5-HKSCS are the supersets that browsers decode
// Shift_JIS, EUC-KR, GBK and Big5 pages with.
constexpr std::array converters = {
    Converter{"UTF-8", "UTF-8", false},
    Converter{"IBM866", "ibm-866_P100-1995"},
    Converter{"ISO-8859-2", "ISO-8859-2"},
    Converter{"ISO-8859-3", "ISO-8859-3"},
    Converter{"ISO-8859-4", "ISO-8859-4"},
    Converter{"ISO-8859-5", "ISO-8859-5"},
    Converter{"ISO-8859-6", "ISO-8859-6"},
    Converter{"ISO-8859-7", "ISO-8859-7"},
    Converter{"ISO-8859-8", "ISO-8859-8"},
    Converter{"ISO-8859-8-I", "ISO-8859-8"},
    Converter{"ISO-8859-10", "ISO-8859-10"},
    Converter{"ISO-8859-13", "ISO-8859-13"},
    Converter{"ISO-8859-14", "ISO-8859-14"},
    Converter{"ISO-8859-15", "ISO-8859-15"},
    Converter{"KOI8-R", "KOI8-R"},
    Converter{"KOI8-U", "KOI8-U"},
    Converter{"macintosh", "macos-0_2-10.2"},
    Converter{"windows-874", "windows-874-2000"},
    Converter{"windows-1250", "windows-1250"},
    Converter{"windows-1251", "windows-1251"},
    Converter{"windows-1252", "windows-1252"},
    Converter{"windows-1253", "windows-1253"},
    Converter{"windows-1254", "windows-1254"},
    Converter{"windows-1255", "windows-1255"},
    Converter{"windows-1256", "windows-1256"},
    Converter{"windows-1257", "windows-1257"},
    Converter{"windows-1258", "windows-1258"},
    Converter{"x-mac-cyrillic", "macos-7_3-10.2"},
    Converter{"GBK", "gb18030", false},
    Converter{"gb18030", "gb18030", false},
    Converter{"Big5", "ibm-1375_P100-2008", false},
    Converter{"EUC-JP", "EUC-JP", false},
    Converter{"ISO-2022-JP", "ISO-2022-JP", false},
    Converter{"Shift_JIS", "windows-31j", false},
    Converter{"EUC-KR", "windows-949", false},
    Converter{"UTF-16BE", "UTF-16BE", false},
    Converter{"UTF-16LE", "UTF-16LE", false},
};

// ISO-8859-16 from 0xA0 up; below that every byte is the code point of its value.
constexpr std::array<char16_t, 96> iso8859_16 = {
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
    0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF};

constexpr std::size_t detectorInputLimit = 64 * 1024;

// Writes U+FFFD for whatever sequence the converter cannot decode, whatever substitution
// character the converter would use itself.
void writeReplacement(const void*, UConverterToUnicodeArgs* arguments, const char*, int32_t,
                      UConverterCallbackReason reason, UErrorCode* status) {
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) {
        return;
    }
    static const UChar replacement = 0xFFFD;
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(arguments, &replacement, 1, 0, status);
}

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

using OpenConverter = std::unique_ptr<UConverter, ConverterCloser>;

OpenConverter openConverter(const char* icuName) {
    UErrorCode status = U_ZERO_ERROR;
    OpenConverter converter(ucnv_open(icuName, &status));
    if (U_FAILURE(status)) return nullptr;
    ucnv_setToUCallBack(converter.get(), writeReplacement, nullptr, nullptr, nullptr, &status);
    return U_SUCCESS(status) ? std::move(converter) : nullptr;
}

using ByteMap = std::array<char16_t, 256>;

// A single-byte encoding as a table: the bytes below 0x80 are ASCII whatever the converter
// says (ICU's IBM866 moves three controls), each byte above through the converter. The eight
// bytes windows-874 leaves undefined, which ICU maps into the private use area, are errors.
std::optional<ByteMap> singleByteMap(const Converter& entry) {
    OpenConverter converter = openConverter(entry.icuName);
    if (!converter) return std::nullopt;
    ByteMap map{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        map[byte] = static_cast<char16_t>(byte);
        if (byte < 0x80) continue;
        const char in = static_cast<char>(byte);
        UChar out[4];
        UErrorCode status = U_ZERO_ERROR;
        ucnv_reset(converter.get());
        const int32_t length = ucnv_toUChars(converter.get(), out, 4, &in, 1, &status);
        map[byte] = U_SUCCESS(status) && length == 1 ? out[0] : u'\uFFFD';
        if (entry.encoding == "windows-874" && map[byte] >= 0xF8C1 && map[byte] <= 0xF8C8) {
            map[byte] = u'\uFFFD';
        }
    }
    return map;
}

std::string decodeByteMap(std::string_view bytes, const ByteMap& map) {
    std::u16string text;
    text.reserve(bytes.size());
    for (char byte : bytes) text.push_back(map[static_cast<unsigned char>(byte)]);
    return toUtf8(text);
}

std::optional<std::string> decodeWithIcu(std::string_view bytes, std::string_view encoding) {
    const auto* entry = std::find_if(converters.begin(), converters.end(),
                                     [&](const Converter& c) { return c.encoding == encoding; });
    if (entry == converters.end()) return std::nullopt;
    if (entry->singleByte) {
        const auto map = singleByteMap(*entry);
        if (!map) return std::nullopt;
        return decodeByteMap(bytes, *map);
    }
    OpenConverter converter = openConverter(entry->icuName);
    if (!converter) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;

    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    std::u16string chunk(16 * 1024, u'\0');
    const char* source = bytes.data();
    const char* const sourceEnd = bytes.data() + bytes.size();
    for (;;) {
        UChar* target = chunk.data();
        status = U_ZERO_ERROR;
        ucnv_toUnicode(converter.get(), &target, chunk.data() + chunk.size(), &source, sourceEnd,
                       nullptr, true, &status);
        appendUtf8(out, std::u16string_view(chunk.data(),
                                            static_cast<std::size_t>(target - chunk.data())));
        if (status != U_BUFFER_OVERFLOW_ERROR) break;
    }
    return out;
}

}  // namespace

DecodedPage decodeForBrowser(std::string_view bytes, std::string_view encoding) {
    if (encoding == "UTF-8" && isValidUtf8(bytes)) return DecodedPage(bytes);
    if (encoding == "replacement") return DecodedPage(std::string(bytes.empty() ? "" : "\uFFFD"));
    if (encoding == "x-user-defined" || encoding == "ISO-8859-16") {
        ByteMap map{};
        for (unsigned b = 0; b < 256; ++b) {
            map[b] = encoding == "ISO-8859-16" ? (b < 0xA0 ? char16_t(b) : iso8859_16[b - 0xA0])
                                               : char16_t(b < 0x80 ? b : 0xF780 + b - 0x80);
        }
        return DecodedPage(decodeByteMap(bytes, map));
    }
    if (auto decoded = decodeWithIcu(bytes, encoding)) return DecodedPage(std::move(*decoded));
    return DecodedPage(*decodeWithIcu(bytes, "windows-1252"));
}

DecodedPage decodeForBrowser(std::string_view bytes, const SettledEncoding& settled) {
    return decodeForBrowser(bytes.substr(std::min(settled.byteOrderMarkLength, bytes.size())),
                            settled.encoding);
}

std::optional<std::string> detectCharset(std::string_view bytes) {
    UErrorCode status = U_ZERO_ERROR;
    UCharsetDetector* detector = ucsdet_open(&status);
    if (U_FAILURE(status)) return std::nullopt;
    const auto length = static_cast<int32_t>(std::min(bytes.size(), detectorInputLimit));
    ucsdet_setText(detector, bytes.data(), length, &status);
    const UCharsetMatch* match = U_SUCCESS(status) ? ucsdet_detect(detector, &status) : nullptr;
    std::optional<std::string> found;
    if (match && U_SUCCESS(status) && ucsdet_getConfidence(match, &status) >= 50) {
        const char* name = ucsdet_getName(match, &status);
        if (U_SUCCESS(status) && name) found = encodingForLabel(name);
    }
    ucsdet_close(detector);
    if (found == "UTF-16LE" || found == "UTF-16BE" || found == "replacement") return std::nullopt;
    return found;
}

}  // namespace gridmint::browser
