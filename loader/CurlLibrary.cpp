// Opening libcurl: RTLD_LOCAL keeps its symbols and those of its dependencies out of the
// search of every later lookup; RTLD_NOW resolves everything at once, so a broken
// installation shows here and not in the middle of a transfer. curl_global_init runs once,
// right after opening and before any function is handed out, since it may not run while
// another thread uses libcurl.
#include "CurlLibrary.h"

#include <dlfcn.h>

namespace gridmint {

namespace {

template <typename Function>
bool resolve(void* handle, const char* symbol, Function& slot) {
    void* address = dlsym(handle, symbol);
    if (address == nullptr) return false;
    slot = reinterpret_cast<Function>(address);
    return true;
}

bool resolveAll(void* handle, CurlFunctions& f) {
    return resolve(handle, "curl_global_init", f.globalInit) &&
           resolve(handle, "curl_easy_init", f.easyInit) &&
           resolve(handle, "curl_easy_cleanup", f.easyCleanup) &&
           resolve(handle, "curl_easy_setopt", f.easySetopt) &&
           resolve(handle, "curl_easy_getinfo", f.easyGetinfo) &&
           resolve(handle, "curl_easy_perform", f.easyPerform) &&
           resolve(handle, "curl_easy_strerror", f.easyStrerror) &&
           resolve(handle, "curl_slist_append", f.slistAppend) &&
           resolve(handle, "curl_slist_free_all", f.slistFreeAll) &&
           resolve(handle, "curl_url", f.url) &&
           resolve(handle, "curl_url_cleanup", f.urlCleanup) &&
           resolve(handle, "curl_url_get", f.urlGet) && resolve(handle, "curl_url_set", f.urlSet) &&
           resolve(handle, "curl_free", f.free);
}

std::string loaderError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}

}  // namespace

CurlLibrary::CurlLibrary(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (open(name)) {
            error_.clear();
            return;
        }
    }
    if (names.size() == 0) error_ = "no libcurl to load";
}

const CurlLibrary& CurlLibrary::shared() {
#if defined(__APPLE__)
    static const CurlLibrary library{"libcurl.4.dylib", "libcurl.dylib"};
#else
    static const CurlLibrary library{"libcurl.so.4"};
#endif
    return library;
}

bool CurlLibrary::open(const char* name) {
    auto fail = [this, name](const std::string& why) {
        if (!error_.empty()) error_ += "; ";
        error_ += std::string("cannot load ") + name + ": " + why;
        return false;
    };
    void* handle = dlopen(name, RTLD_LOCAL | RTLD_NOW);
    if (handle == nullptr) return fail(loaderError());
    CurlFunctions found;
    if (!resolveAll(handle, found)) {
        const std::string why = loaderError();
        dlclose(handle);
        return fail(why);
    }
    if (found.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        return fail("its global initialisation failed");
    }
    functions_ = found;
    usable_ = true;
    return true;
}

}  // namespace gridmint
