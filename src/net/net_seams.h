// Watches the paths the transfers hand to file calls: Wine opens long paths
// without the \\?\ prefix, so tests check the paths here. Production never
// sets the observer.
#pragma once

#include <atomic>
#include <string>

namespace nv::net_seams {

// Sees every path the transfers hand to a file call, as handed over.
using FilePathObserver = void (*)(const std::wstring& path);
extern std::atomic<FilePathObserver> filePathSeen;

// The path for a file call, shown to the observer first.
inline const std::wstring& FilePath(const std::wstring& path) {
  if (FilePathObserver observer = filePathSeen.load()) observer(path);
  return path;
}

}  // namespace nv::net_seams
