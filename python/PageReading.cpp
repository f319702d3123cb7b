#include "PageReading.h"

#include <cerrno>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "BrowserReading.h"
#include "ByteBuffer.h"
#include "CurlFetcher.h"
#include "EncodingSniffing.h"
#include "FetchSettings.h"
#include "HTMLTableParser.h"
#include "PythonText.h"
#include "QSettingsDefaults.h"
#include "ResponseCharset.h"
#include "UrlRoute.h"
#include "Utf.h"

namespace gridmint::python {

namespace {

std::string typeName(const py::handle& value) {
    return py::str(value.get_type().attr("__name__"));
}

// The encoding number the default reading starts from: the tool's default (UTF-8), a number,
// or a charset name as a Content-Type would give it.
TextEncoding encodingNumberFrom(const py::object& encoding) {
    if (encoding.is_none()) return encoding::utf8;
    if (py::isinstance<py::int_>(encoding)) {
        const auto number = encoding.cast<long long>();
        if (number <= 0) throw py::value_error("encoding number must be positive");
        return static_cast<TextEncoding>(number);
    }
    const std::string name = encoding.cast<std::string>();
    const TextEncoding number = encodingForResponseCharset(name);
    if (number == encoding::none) throw py::value_error("unknown encoding '" + name + "'");
    return number;
}

// The browser reading takes the caller's encoding as a response's charset: it wins over the
// page's own declarations, and only a byte-order mark wins over it.
std::string charsetLabelFrom(const py::object& encoding) {
    if (encoding.is_none()) return {};
    if (py::isinstance<py::int_>(encoding)) {
        throw py::value_error(
            "with browser=True, encoding is a charset name such as 'windows-1252', not a "
            "number");
    }
    const std::string name = encoding.cast<std::string>();
    if (!browser::encodingForLabel(name)) throw py::value_error("unknown encoding '" + name + "'");
    return name;
}

void checkEncodingType(const py::object& encoding) {
    const bool accepted =
        encoding.is_none() || py::isinstance<py::str>(encoding) ||
        (py::isinstance<py::int_>(encoding) && !py::isinstance<py::bool_>(encoding));
    if (!accepted) throw py::type_error("encoding must be a charset name or an encoding number");
}

void refuseBrowserOnlyOptions(const ReadOptions& options) {
    if (options.spans != "repeat") {
        throw py::value_error("spans='" + options.spans +
                              "' needs the browser reading (browser=True)");
    }
    if (options.keepLineBreaks)
        throw py::value_error("keep_line_breaks=True needs the browser reading (browser=True)");
    if (options.links) throw py::value_error("links=True needs the browser reading (browser=True)");
}

browser::BrowserOptions browserOptionsFrom(const ReadOptions& options) {
    browser::BrowserOptions chosen;
    const auto spans = browser::spanModeNamed(options.spans);
    if (!spans) {
        throw py::value_error("spans='" + options.spans +
                              "': expected 'repeat', 'empty' or 'none'");
    }
    chosen.spans = *spans;
    chosen.keepLineBreaks = options.keepLineBreaks;
    chosen.links = options.links;
    chosen.pageAddress = options.pageAddress;
    return chosen;
}

// The user's settings as they are now, with the call's options over them.
InMemoryDefaults settingsFor(const ReadOptions& options) {
    static const QSettingsDefaults stored;
    InMemoryDefaults settings;
    settings.set(defaultsKey::verbosity, stored.integerForKey(defaultsKey::verbosity));
    settings.set(
        defaultsKey::consolidateWhitespace,
        options.consolidateWhitespace || stored.boolForKey(defaultsKey::consolidateWhitespace));
    if (auto agent = stored.stringForKey(defaultsKey::userAgent))
        settings.set(defaultsKey::userAgent, *agent);
    for (const std::string_view key :
         {defaultsKey::fetchTimeoutSeconds, defaultsKey::fetchMaxBodyBytes}) {
        if (const long value = stored.integerForKey(key); value > 0) settings.set(key, value);
    }
    return settings;
}

}  // namespace

Reading readingFor(const ReadOptions& options) {
    checkEncodingType(options.encoding);
    Reading reading;
    reading.browser = options.browser;
    if (options.browser) {
        reading.browserOptions = browserOptionsFrom(options);
        reading.transportCharset = charsetLabelFrom(options.encoding);
    } else {
        refuseBrowserOnlyOptions(options);
        reading.encoding = encodingNumberFrom(options.encoding);
    }
    reading.settings = settingsFor(options);
    return reading;
}

namespace {

py::list tablesOf(std::unique_ptr<HTMLTableParser> parser) {
    if (!parser) return py::list();
    ResultDictionary result = parser->takeResultDictionary();
    return tablesToPython(result);
}

py::list tablesOf(browser::BrowserResult result) {
    if (result.outputTooLarge) {
        throw py::value_error(
            "the tables of this page would need more than 64 M cells or 1 G characters of "
            "output");
    }
    return tablesToPython(result.tables, result.links.empty() ? nullptr : &result.links,
                          &result.sections);
}

// The browser reading of bytes that stay valid while the lock is released (the caller holds
// what owns them).
py::list readBytesAsBrowser(std::string_view bytes, const browser::BrowserOptions& options,
                            std::string_view transportCharset) {
    browser::BrowserResult result;
    {
        py::gil_scoped_release unlocked;
        result = browser::readTablesFromBytesAsBrowser(bytes, options, transportCharset);
    }
    return tablesOf(std::move(result));
}

py::list readBytes(ByteBuffer bytes, const Reading& reading) {
    if (reading.browser)
        return readBytesAsBrowser(bytes.view(), reading.browserOptions, reading.transportCharset);
    std::unique_ptr<HTMLTableParser> parser;
    {
        py::gil_scoped_release unlocked;
        if (!bytes.empty())
            parser =
                HTMLTableParser::initWithData(std::move(bytes), reading.encoding, reading.settings);
    }
    return tablesOf(std::move(parser));
}

// The bytes of a bytes object, read in place: it cannot change while it is referenced.
std::string_view viewOf(const py::bytes& bytes) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes.ptr(), &data, &size) != 0) throw py::error_already_set();
    return {data, static_cast<size_t>(size)};
}

py::list readBytesObject(const py::bytes& bytes, const Reading& reading) {
    if (reading.browser)
        return readBytesAsBrowser(viewOf(bytes), reading.browserOptions, reading.transportCharset);
    return readBytes(ByteBuffer::copyOf(viewOf(bytes)), reading);
}

py::list readText(const py::object& text, const Reading& reading) {
    // The text route: the text's own characters, whatever charset it declares.
    const Text units = textFromPython(text);
    if (reading.browser) {
        browser::BrowserResult result;
        {
            py::gil_scoped_release unlocked;
            result =
                browser::readTablesAsBrowser(std::u16string_view(units), reading.browserOptions);
        }
        return tablesOf(std::move(result));
    }
    std::unique_ptr<HTMLTableParser> parser;
    {
        py::gil_scoped_release unlocked;
        if (!units.empty()) parser = HTMLTableParser::initWithHTMLString(units, reading.settings);
    }
    return tablesOf(std::move(parser));
}

bool isWebAddress(const std::string& text) {
    return text.starts_with("http://") || text.starts_with("https://");
}

// An address goes through the address route as the tool sends it: the fetch, the checks of
// the response, and for the browser reading the body with the charset the response named.
py::list readAddress(const std::string& address, const Reading& reading) {
    std::unique_ptr<HTMLTableParser> parser;
    UrlLoadReport report;
    {
        py::gil_scoped_release unlocked;
        CurlFetcher fetcher;
        parser = initWithUrl(fromUtf8(address), reading.settings, fetcher,
                             fetchOptionsFromSettings(reading.settings), &report);
    }
    if (!parser) throw FetchFailure("cannot load '" + address + "': " + describeFailure(report));
    if (reading.browser) {
        // Links are made absolute against where the page came from, after redirects.
        browser::BrowserOptions options = reading.browserOptions;
        options.pageAddress = report.pageUrl;
        return readBytesAsBrowser(parser->bytes(), options, report.charset);
    }
    return tablesOf(std::move(parser));
}

py::list readFile(const std::string& path, const Reading& reading) {
    ByteBuffer bytes;
    int errorNumber = 0;
    bool mapped = false;
    {
        py::gil_scoped_release unlocked;
        mapped = ByteBuffer::mapFile(path, bytes, errorNumber);
    }
    if (!mapped) {
        errno = errorNumber;
        PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
        throw py::error_already_set();
    }
    return readBytes(std::move(bytes), reading);
}

}  // namespace

py::list parseData(const py::object& data, const ReadOptions& options) {
    const Reading reading = readingFor(options);
    if (py::isinstance<py::bytes>(data))
        return readBytesObject(py::reinterpret_borrow<py::bytes>(data), reading);
    if (py::isinstance<py::bytearray>(data) || py::isinstance<py::memoryview>(data)) {
        // A copy that the caller cannot change during the unlocked scan.
        const py::bytes copy(py::module_::import("builtins").attr("bytes")(data));
        return readBytesObject(copy, reading);
    }
    if (py::isinstance<py::str>(data)) return readText(data, reading);
    throw py::type_error("parse() takes bytes or str, not " + typeName(data));
}

py::list readSource(const py::object& source, const ReadOptions& options) {
    const Reading reading = readingFor(options);
    const py::module_ os = py::module_::import("os");
    if (py::isinstance<py::str>(source) || py::isinstance(source, os.attr("PathLike")) ||
        py::isinstance<py::bytes>(source)) {
        const std::string path = os.attr("fsdecode")(source).cast<std::string>();
        if (isWebAddress(path)) return readAddress(path, reading);
        return readFile(path, reading);
    }
    if (py::hasattr(source, "read")) {
        const py::object bytes = source.attr("read")();
        if (!py::isinstance<py::bytes>(bytes))
            throw py::type_error("read() needs a file opened in binary mode ('rb')");
        return readBytesObject(py::reinterpret_borrow<py::bytes>(bytes), reading);
    }
    throw py::type_error(
        "read() takes a path, an http(s):// address or a binary file object, not " +
        typeName(source));
}

}  // namespace gridmint::python
