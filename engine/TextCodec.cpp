#include "TextCodec.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include "Utf.h"

namespace gridmint {

namespace {

// The ICU converter behind each encoding number. UTF-8, ISO-8859-1 and ASCII are decoded
// without ICU (see TextDecoder::decode); every other number not listed here fails.
const char* icuConverterName(TextEncoding encoding) {
    switch (encoding) {
        case encoding::shiftJIS: return "Shift_JIS";
        case encoding::isoLatin2: return "ISO-8859-2";
        case encoding::utf16: return "UTF-16";  // byte-order mark, else big-endian
        case encoding::windows1252: return "windows-1252";
        case encoding::tis620: return "TIS-620";
        case encoding::windows874: return "windows-874";
        case encoding::gbk: return "GBK";
        case encoding::hzGB2312: return "HZ-GB-2312";
        case encoding::gb2312: return "EUC-CN";
        case encoding::big5: return "Big5";
        default: return nullptr;
    }
}

bool decodeAscii(std::string_view bytes, Text& out) {
    for (char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80) return false;
    }
    decodeLatin1(bytes, out);
    return true;
}

}  // namespace

struct TextDecoder::Converter {
    explicit Converter(const char* name) {
        UErrorCode status = U_ZERO_ERROR;
        handle = ucnv_open(name, &status);
        if (U_FAILURE(status)) {
            handle = nullptr;
            return;
        }
        ucnv_setToUCallBack(handle, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        if (U_FAILURE(status)) {
            ucnv_close(handle);
            handle = nullptr;
        }
    }
    ~Converter() {
        if (handle) ucnv_close(handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool decode(std::string_view bytes, Text& out) {
        if (!handle) return false;
        ucnv_reset(handle);  // stateful encodings (HZ) and the UTF-16 byte-order mark
        out.resize(bytes.size() + 16);
        size_t written = 0;
        const char* source = bytes.data();
        const char* const sourceEnd = bytes.data() + bytes.size();
        for (;;) {
            UChar* const start = out.data() + written;
            UChar* target = start;
            UErrorCode status = U_ZERO_ERROR;
            ucnv_toUnicode(handle, &target, out.data() + out.size(), &source, sourceEnd, nullptr,
                           true, &status);
            written += static_cast<size_t>(target - start);
            if (status == U_BUFFER_OVERFLOW_ERROR) {
                out.resize(out.size() * 2);
                continue;
            }
            if (U_FAILURE(status)) return false;
            break;
        }
        out.resize(written);
        return true;
    }

    UConverter* handle = nullptr;
};

TextDecoder::TextDecoder(TextEncoding encoding) : encoding_(encoding) {}

TextDecoder::~TextDecoder() = default;

std::optional<Text> TextDecoder::decode(std::string_view bytes) {
    Text out;
    if (!decode(bytes, out)) return std::nullopt;
    return out;
}

bool TextDecoder::decode(std::string_view bytes, Text& out) {
    switch (encoding_) {
        case encoding::utf8: return decodeUtf8(bytes, out);
        case encoding::isoLatin1: decodeLatin1(bytes, out); return true;
        case encoding::ascii: return decodeAscii(bytes, out);
        default: break;
    }
    const char* name = icuConverterName(encoding_);
    if (!name) return false;
    if (!converter_) converter_ = std::make_unique<Converter>(name);
    return converter_->decode(bytes, out);
}

std::optional<Text> decodeBytes(std::string_view bytes, TextEncoding encoding) {
    return TextDecoder(encoding).decode(bytes);
}

bool isNonAsciiWhiteSpace(char16_t c) {
    return u_isUWhiteSpace(c);
}

}  // namespace gridmint
