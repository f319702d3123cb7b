#include "PageLoadWork.h"

#include <QFile>

#include "BrowserSettings.h"
#include "FetchSettings.h"

namespace gridmint {

namespace {

// The settings that loading and scanning a page read.
InMemoryDefaults snapshotOf(const Defaults& defaults, ReadingChoice reading) {
    InMemoryDefaults snapshot;
    snapshot.set(defaultsKey::verbosity, defaults.integerForKey(defaultsKey::verbosity));
    for (const std::string_view key :
         {defaultsKey::consolidateWhitespace, defaultsKey::keepLineBreaks}) {
        snapshot.set(key, defaults.boolForKey(key));
    }
    snapshot.set(defaultsKey::browserReading, reading.browser);
    snapshot.set(defaultsKey::extractLinks, reading.links);
    for (const std::string_view key :
         {defaultsKey::fetchTimeoutSeconds, defaultsKey::fetchMaxBodyBytes}) {
        snapshot.set(key, defaults.integerForKey(key));
    }
    for (const std::string_view key : {defaultsKey::userAgent, defaultsKey::spans}) {
        if (auto value = defaults.stringForKey(key)) snapshot.set(key, std::move(*value));
    }
    return snapshot;
}

// A page loaded as bytes is read again as a browser does when the settings ask for that
// reading; the default reading's parser then goes. Links are made absolute against the address
// the page came from.
void readAsBrowserWhenChosen(PageLoad& outcome, const Defaults& settings) {
    if (!outcome.parser || !settings.boolForKey(defaultsKey::browserReading)) return;
    browser::BrowserOptions options = browser::browserOptionsFromDefaults(settings);
    options.pageAddress = outcome.pageAddress;
    outcome.browser =
        readBytesAsBrowserPage(outcome.parser->bytes(), outcome.responseCharset, options);
    outcome.parser.reset();
}

}  // namespace

WorkerJob::Work pageLoadWork(PageWork work, const Defaults& defaults, ReadingChoice reading,
                             std::shared_ptr<PageLoad> outcome) {
    return [work = std::move(work), settings = snapshotOf(defaults, reading),
            outcome = std::move(outcome)](const std::atomic<bool>& cancelled) {
        *outcome = work(settings, cancelled);
        if (!cancelled) readAsBrowserWhenChosen(*outcome, settings);
    };
}

PageWork loadThrough(std::shared_ptr<PageLoader> loader, std::u16string typed) {
    return [loader = std::move(loader), typed = std::move(typed)](
               const Defaults& settings, const std::atomic<bool>& cancelled) {
        return loader->load(typed, settings, cancelled);
    };
}

// Only the breaks between the view's blocks become line feeds: no-break spaces and line
// separators stay what they are, as the page had them.
PageWork scanOfText(QString text) {
    return [text = std::move(text)](const Defaults& settings, const std::atomic<bool>&) mutable {
        text.replace(QChar::ParagraphSeparator, u'\n');
        const std::u16string_view html(reinterpret_cast<const char16_t*>(text.utf16()),
                                       static_cast<size_t>(text.size()));
        PageLoad outcome;
        if (settings.boolForKey(defaultsKey::browserReading)) {
            outcome.browser = BrowserPage{
                browser::readTablesAsBrowser(html, browser::browserOptionsFromDefaults(settings)),
                {}};
        } else {
            outcome.parser = HTMLTableParser::initWithHTMLString(html, settings);
        }
        return outcome;
    };
}

PageWork browserReadingOfFile(QString path) {
    return [path = std::move(path)](const Defaults& settings, const std::atomic<bool>&) {
        PageLoad outcome;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            outcome.failure = file.errorString().toStdString();
            return outcome;
        }
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            outcome.failure = file.errorString().toStdString();
            return outcome;
        }
        outcome.browser = readBytesAsBrowserPage(
            std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), {},
            browser::browserOptionsFromDefaults(settings));
        return outcome;
    };
}

}  // namespace gridmint
