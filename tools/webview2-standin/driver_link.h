// The stand-in's line to its driver, the Node program that plays the browser
// (tools/webview2-standin/driver.mjs), on loopback TCP (NV_STANDIN_ADDRESS,
// "127.0.0.1:<port>") as JSON lines:
//
//   stand-in -> driver: {"ev":"hello"...}, {"ev":"call","m":<method>...} for
//     every call the host makes, {"ev":"navigated","uri"}, {"ev":"reply","id"...}
//   driver -> stand-in: {"op":"resource"|"message"|"navigate"|"newwindow"|
//     "processfailed"|"window"|"close","id":N,...}
//
// Every event is raised on the thread that created the environment: a
// message-only window made there receives the driver's lines and the
// deferred work. When the driver goes away the browser process counts as
// exited, as with a real runtime.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace standin {

std::string Utf8(const wchar_t* text);
std::wstring Wide(const std::string& text);

// One line to the driver; dropped when there is none.
void Send(const std::string& line);
// {"ev":"call","m":method}: the host called a method that carries nothing more.
void SendCall(const char* method);
// Runs fn on the creating thread after the current call has returned, as
// WebView2 completes its asynchronous operations.
void Defer(std::function<void()> fn);

// On the first call: the message window on the calling thread, then the
// connection to the driver, which is told this process's pid, runtime type
// and user data folder. A failure to make the window is the error; no driver
// is not (DriverConnected() says so).
HRESULT OpenDriverLink(HINSTANCE instance, INT32 runtimeType, PCWSTR userDataFolder);
bool DriverConnected();
// The driver went away after it had connected.
bool BrowserExited();

}  // namespace standin
