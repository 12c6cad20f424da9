// Winsock's headers come before windows.h, which the others include.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "driver_link.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "json_lines.h"
#include "web_view.h"

namespace standin {

namespace {

constexpr UINT kWmLine = WM_APP + 1;
constexpr UINT kWmDisconnected = WM_APP + 2;
constexpr UINT kWmTask = WM_APP + 3;

HWND messageWindow = nullptr;
SOCKET driver = INVALID_SOCKET;
std::mutex sendMutex;
std::mutex taskMutex;
std::deque<std::function<void()>> tasks;
bool browserExited = false;

std::wstring Text(const JsonObject& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->second.kind == standin::JsonValue::kString ? Wide(it->second.text)
                                                                              : std::wstring();
}

long long Number(const JsonObject& object, const char* key, long long fallback) {
  const auto it = object.find(key);
  return it != object.end() && it->second.kind == standin::JsonValue::kNumber
             ? static_cast<long long>(it->second.number)
             : fallback;
}

void ReplyWindow(long long id) {
  RECT rect{};
  const bool exists = parentWindow && IsWindow(parentWindow);
  wchar_t title[256] = {};
  if (exists) {
    GetWindowRect(parentWindow, &rect);
    GetWindowTextW(parentWindow, title, 256);
  }
  Send(JsonWriter()
           .String("ev", "reply")
           .Number("id", id)
           .Bool("exists", exists)
           .Bool("visible", exists && IsWindowVisible(parentWindow))
           .Bool("iconic", exists && IsIconic(parentWindow))
           .Number("x", rect.left)
           .Number("y", rect.top)
           .Number("width", rect.right - rect.left)
           .Number("height", rect.bottom - rect.top)
           .String("title", Utf8(title))
           .Line());
}

void HandleLine(const std::string& line) {
  const auto object = standin::ParseJsonObject(line);
  if (!object) return;
  const std::wstring op = Text(*object, "op");
  const long long id = Number(*object, "id", 0);
  Ref<WebView> view = activeWebView;
  if (op == L"window") {
    ReplyWindow(id);
    return;
  }
  if (op == L"close") {
    // The window's close button, Alt+F4 or the taskbar: WM_CLOSE.
    if (parentWindow) PostMessageW(parentWindow, WM_CLOSE, 0, 0);
    Send(JsonWriter().String("ev", "reply").Number("id", id).Line());
    return;
  }
  if (!view) {
    Send(JsonWriter().String("ev", "reply").Number("id", id).String("error", "no web view").Line());
    return;
  }
  if (op == L"resource") {
    view->RaiseResource(id, Text(*object, "uri"));
  } else if (op == L"message") {
    const auto isString = object->find("string");
    if (isString != object->end()) {
      view->RaiseMessage(id, Text(*object, "source"), Wide(isString->second.text), true);
    } else {
      view->RaiseMessage(id, Text(*object, "source"), Text(*object, "json"), false);
    }
  } else if (op == L"navigate") {
    view->StartNavigation(Text(*object, "uri"), true, id);
  } else if (op == L"newwindow") {
    view->RaiseNewWindow(id, Text(*object, "uri"));
  } else if (op == L"processfailed") {
    view->RaiseProcessFailed(static_cast<ProcessFailedKind>(Number(*object, "kind", 1)));
    Send(JsonWriter().String("ev", "reply").Number("id", id).Line());
  } else {
    Send(JsonWriter().String("ev", "reply").Number("id", id).String("error", "unknown op").Line());
  }
}

LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kWmLine: {
      std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(lParam));
      HandleLine(*line);
      return 0;
    }
    case kWmDisconnected: {
      // The driver is the browser process: without it the browser has exited.
      browserExited = true;
      if (Ref<WebView> view = activeWebView) view->RaiseProcessFailed(kBrowserProcessExited);
      return 0;
    }
    case kWmTask: {
      for (;;) {
        std::function<void()> task;
        {
          std::lock_guard lock(taskMutex);
          if (tasks.empty()) break;
          task = std::move(tasks.front());
          tasks.pop_front();
        }
        task();
      }
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void ReaderThread(SOCKET socket, HWND window) {
  std::string pending;
  char buffer[65536];
  for (;;) {
    const int n = recv(socket, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    pending.append(buffer, n);
    std::size_t newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
      auto* line = new std::string(pending.substr(0, newline));
      pending.erase(0, newline + 1);
      if (!PostMessageW(window, kWmLine, 0, reinterpret_cast<LPARAM>(line))) delete line;
    }
  }
  PostMessageW(window, kWmDisconnected, 0, 0);
}

// "127.0.0.1:<port>" only: the stand-in never talks to another machine.
SOCKET ConnectToDriver() {
  char address[64] = {};
  const DWORD n = GetEnvironmentVariableA("NV_STANDIN_ADDRESS", address, sizeof address);
  if (n == 0 || n >= sizeof address) return INVALID_SOCKET;
  const char* colon = std::strrchr(address, ':');
  if (!colon || std::strncmp(address, "127.0.0.1", colon - address) != 0) return INVALID_SOCKET;
  const int port = std::atoi(colon + 1);
  if (port <= 0 || port > 65535) return INVALID_SOCKET;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return INVALID_SOCKET;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<u_short>(port));
  target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

}  // namespace

std::string Utf8(const wchar_t* text) {
  if (!text || !*text) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

void Send(const std::string& line) {
  std::lock_guard lock(sendMutex);
  if (driver == INVALID_SOCKET) return;
  std::size_t sent = 0;
  while (sent < line.size()) {
    const int n = send(driver, line.data() + sent, static_cast<int>(line.size() - sent), 0);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

void SendCall(const char* method) { Send(JsonWriter().String("ev", "call").String("m", method).Line()); }

// Runs fn on the creating thread after the current call has returned, as
// WebView2 completes its asynchronous operations.
void Defer(std::function<void()> fn) {
  {
    std::lock_guard lock(taskMutex);
    tasks.push_back(std::move(fn));
  }
  PostMessageW(messageWindow, kWmTask, 0, 0);
}

HRESULT OpenDriverLink(HINSTANCE instance, INT32 runtimeType, PCWSTR userDataFolder) {
  if (!messageWindow) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &MessageWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"NorvaneWebView2StandIn";
    RegisterClassExW(&windowClass);
    messageWindow = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    instance, nullptr);
    if (!messageWindow) return HRESULT_FROM_WIN32(GetLastError());
  }
  if (driver == INVALID_SOCKET) {
    driver = ConnectToDriver();
    if (driver != INVALID_SOCKET) {
      std::thread(ReaderThread, driver, messageWindow).detach();
      Send(JsonWriter()
               .String("ev", "hello")
               .Number("pid", GetCurrentProcessId())
               .Number("runtimeType", runtimeType)
               .String("userDataFolder", Utf8(userDataFolder))
               .Line());
    }
  }
  return S_OK;
}

bool DriverConnected() { return driver != INVALID_SOCKET; }

bool BrowserExited() { return browserExited; }

}  // namespace standin
