#include "bridge/message_box.h"
#include "bridge/message_box_testing.h"

#include <atomic>

#include "sync/fs/product_name.h"

namespace nv {

namespace {

// Boxes come from the window thread and from uninstall's main thread.
std::atomic<MessageBoxFunction> standIn{nullptr};

}  // namespace

void SetMessageBoxForTesting(MessageBoxFunction function) { standIn.store(function); }

int ShowMessageBox(HWND owner, const wchar_t* text, UINT type) {
  const MessageBoxFunction function = standIn.load();
  return (function ? function : &MessageBoxW)(owner, text, kProductName, type);
}

}  // namespace nv
