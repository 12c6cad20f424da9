#include "net/http_client.h"
#include "net/http_client_testing.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "net/net_log.h"
#include "net/url_text.h"
#include "sync/fs/fs_helpers.h"

namespace nv {

namespace {

constexpr DWORD kAccessAutomaticProxy = 4;  // WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY (Windows 8.1+)
// TLS 1.2 is the floor: the download server and the web site offer nothing
// older, and the launcher must not be talked down to it.
constexpr DWORD kTls12And13 = 0x00000800 | 0x00002000;
constexpr DWORD kTls12 = 0x00000800;
constexpr DWORD kTextChunk = 16384;

std::atomic<std::uint32_t> fetchTimeoutForTesting{0};

std::uint32_t FetchTimeoutMs() {
  const std::uint32_t ms = fetchTimeoutForTesting.load();
  return ms ? ms : kFetchTimeoutMs;
}

std::mutex sessionMutex;
HINTERNET session = nullptr;  // lives until the process ends

std::wstring Decimal(std::uint64_t value) { return std::to_wstring(value); }

}  // namespace

void SetFetchTimeoutForTesting(std::uint32_t ms) { fetchTimeoutForTesting.store(ms); }

HINTERNET HttpSession() {
  std::lock_guard<std::mutex> lock(sessionMutex);
  if (session) return session;
  HINTERNET handle = WinHttpOpen(kUserAgent, kAccessAutomaticProxy, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0);
  if (!handle)
    handle = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                         WINHTTP_NO_PROXY_BYPASS, 0);
  if (!handle) {
    const DWORD error = GetLastError();
    NetLog(L"WinHttpOpen failed err=" + Decimal(error));
    return nullptr;
  }
  DWORD protocols = kTls12And13;
  if (!WinHttpSetOption(handle, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
    protocols = kTls12;
    WinHttpSetOption(handle, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  }
  session = handle;
  return session;
}

bool OpenGetRequest(std::string_view url, std::wstring_view extraHeaders, std::uint32_t timeoutMs,
                    bool noCache, RequestHandles& handles) {
  HINTERNET sessionHandle = HttpSession();
  if (!sessionHandle) return false;

  const std::wstring wideUrl = FromUtf8(EncodeUrlBytes(url));
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (wideUrl.empty() ||
      !WinHttpCrackUrl(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
    NetLog(L"bad url: " + wideUrl);
    return false;
  }

  const std::wstring host(parts.lpszHostName ? parts.lpszHostName : L"", parts.dwHostNameLength);
  std::wstring path;
  if (parts.lpszUrlPath) path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo && parts.dwExtraInfoLength) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  handles.connect.reset(WinHttpConnect(sessionHandle, host.c_str(), parts.nPort, 0));
  if (!handles.connect) {
    const DWORD error = GetLastError();
    NetLog(L"connect failed " + host + L" err=" + Decimal(error));
    return false;
  }

  DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  if (noCache) flags |= WINHTTP_FLAG_REFRESH;
  handles.request.reset(WinHttpOpenRequest(handles.connect.get(), L"GET", path.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!handles.request) {
    const DWORD error = GetLastError();
    NetLog(L"open request failed err=" + Decimal(error));
    return false;
  }

  const int timeout = static_cast<int>(timeoutMs);
  WinHttpSetTimeouts(handles.request.get(), timeout, timeout, timeout, timeout);

  std::wstring headers(extraHeaders);
  if (noCache) headers += L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";

  BOOL sent = WinHttpSendRequest(handles.request.get(),
                                 headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                 headers.empty() ? 0 : static_cast<DWORD>(-1),
                                 WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
  if (sent) sent = WinHttpReceiveResponse(handles.request.get(), nullptr);
  if (!sent) {
    const DWORD error = GetLastError();
    NetLog(L"request failed " + wideUrl + L" err=" + Decimal(error));
    return false;
  }

  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(handles.request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    return false;
  handles.status = status;
  return true;
}

bool QueryHeaderText(HINTERNET request, DWORD infoLevel, std::wstring& out) {
  DWORD size = 0;
  if (WinHttpQueryHeaders(request, infoLevel, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                          &size, WINHTTP_NO_HEADER_INDEX) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
    return false;
  std::wstring text(size / 2 + 1, L'\0');
  DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!WinHttpQueryHeaders(request, infoLevel, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                           WINHTTP_NO_HEADER_INDEX))
    return false;
  text.resize(std::min<std::size_t>(bytes / 2, text.size()));
  out = std::move(text);
  return true;
}

std::int64_t QueryContentLength(HINTERNET request) {
  std::wstring text;
  if (!QueryHeaderText(request, WINHTTP_QUERY_CONTENT_LENGTH, text)) return -1;
  return ParseContentLengthText(text);
}

bool FetchText(std::string_view url, std::string& body) {
  body.clear();
  try {
    RequestHandles handles;
    if (!OpenGetRequest(url, L"", FetchTimeoutMs(), true, handles)) return false;
    if (handles.status != 200) {
      NetLog(L"HTTP " + Decimal(handles.status) + L" " + FromUtf8(EncodeUrlBytes(url)));
      return false;
    }
    const std::int64_t length = QueryContentLength(handles.request.get());
    if (length > kMaxTextBytes) return false;

    std::string text;
    if (length > 0) text.reserve(static_cast<std::size_t>(length));
    std::unique_ptr<char[]> chunk(new char[kTextChunk]);
    for (;;) {
      DWORD read = 0;
      if (!WinHttpReadData(handles.request.get(), chunk.get(), kTextChunk, &read)) {
        NetLog(L"read failed " + FromUtf8(EncodeUrlBytes(url)));
        return false;
      }
      if (read == 0) break;
      if (text.size() + read > static_cast<std::size_t>(kMaxTextBytes)) return false;
      text.append(chunk.get(), read);
    }
    if (length >= 0 && static_cast<std::int64_t>(text.size()) != length) return false;
    StripUtf8Bom(text);
    body = std::move(text);
    return true;
  } catch (...) {
    body.clear();
    return false;
  }
}

}  // namespace nv
