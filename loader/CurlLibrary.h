// libcurl, opened the first time an address is parsed or fetched instead of being linked into
// every program: a process that only reads local files never loads it, nor the many libraries
// it depends on (TLS, Kerberos, LDAP, SSH, …), whose start-up cost every run would pay. The
// header <curl/curl.h> still gives the types, constants and signatures; the functions come
// from the opened library. Only the loader's .cpp files include this file.
#pragma once

#include <curl/curl.h>

#include <initializer_list>
#include <string>

namespace gridmint {

// The libcurl functions the loader calls. curl_easy_setopt and curl_easy_getinfo are
// variadic and are called through pointers of the same variadic type.
struct CurlFunctions {
    decltype(&::curl_global_init) globalInit = nullptr;
    decltype(&::curl_easy_init) easyInit = nullptr;
    decltype(&::curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&::curl_easy_setopt) easySetopt = nullptr;
    decltype(&::curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&::curl_easy_perform) easyPerform = nullptr;
    decltype(&::curl_easy_strerror) easyStrerror = nullptr;
    decltype(&::curl_slist_append) slistAppend = nullptr;
    decltype(&::curl_slist_free_all) slistFreeAll = nullptr;
    decltype(&::curl_url) url = nullptr;
    decltype(&::curl_url_cleanup) urlCleanup = nullptr;
    decltype(&::curl_url_get) urlGet = nullptr;
    decltype(&::curl_url_set) urlSet = nullptr;
    decltype(&::curl_free) free = nullptr;
};

class CurlLibrary {
  public:
    // Opens the first of `names` (as dlopen finds them) that loads and has every function,
    // and initialises it for transfers. Opened libraries are never closed: libcurl's global
    // state lives as long as the process.
    explicit CurlLibrary(std::initializer_list<const char*> names);
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;

    // The process's libcurl under its usual name for this system, opened by the first call
    // from whichever thread makes it.
    static const CurlLibrary& shared();

    // The functions, or nullptr when no library could be used; error() then says why.
    const CurlFunctions* functions() const { return usable_ ? &functions_ : nullptr; }
    // One sentence naming each library tried and what the dynamic loader said of it.
    const std::string& error() const { return error_; }

  private:
    bool open(const char* name);

    CurlFunctions functions_;
    bool usable_ = false;
    std::string error_;
};

}  // namespace gridmint
