// The HTTP client: one process-wide WinHTTP session and synchronous GET
// requests on top of it. Every operation opens and closes its own connection
// and request on the calling thread.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "sync/fs/unique_handle.h"

namespace nv {

inline constexpr wchar_t kUserAgent[] = L"Norvane-Launcher/1.0";
// Text resources (manifests, mirror list, news) are capped so that a wrong or
// hostile answer cannot exhaust memory.
inline constexpr std::int64_t kMaxTextBytes = 16 * 1024 * 1024;
// Each of a text fetch's four WinHTTP time-outs (resolve, connect, send,
// receive). The texts are small: a server that leaves one step waiting this
// long is taken as not there, so the start-up check falls back (the built-in
// mirror, the install screen) and the news thread waits for its next cycle
// instead of holding the player up.
inline constexpr std::uint32_t kFetchTimeoutMs = 15000;

// The session, created on first use under its mutex and never closed. Null
// when it cannot be created; the next caller tries again.
HINTERNET HttpSession();

// One request's handles. Members are declared so that the request handle is
// closed before its connection.
struct RequestHandles {
  UniqueInternet connect;
  UniqueInternet request;
  std::uint32_t status = 0;  // valid only when the open succeeded

  void Release() noexcept {
    request.reset();
    connect.reset();
  }
};

// Connects, sends a GET for the URL (UTF-8, byte-encoded here) with the extra
// header lines (each ending in CR LF; empty for none) and waits for the
// response headers. timeoutMs applies to resolve, connect, send and receive.
// With noCache the request bypasses caches. The caller owns the handles
// whatever the result.
bool OpenGetRequest(std::string_view url, std::wstring_view extraHeaders, std::uint32_t timeoutMs,
                    bool noCache, RequestHandles& handles);

// One response header as text (infoLevel such as WINHTTP_QUERY_ETAG); out is
// changed only on success.
bool QueryHeaderText(HINTERNET request, DWORD infoLevel, std::wstring& out);

// The Content-Length header, or -1 when it is absent, empty, not a decimal
// number or negative.
std::int64_t QueryContentLength(HINTERNET request);

// GETs a small text (200 only, at most 16 MiB, byte order mark removed) into
// body. body is emptied first and filled only on success.
bool FetchText(std::string_view url, std::string& body);

}  // namespace nv
