// The bridge: the only way the rest of the launcher reaches the page.
//
// Page -> native: short text commands "cmd|arg|arg" (UTF-16).
// Native -> page: one JSON object per message, member "t" first, built by
// concatenation with one escaping rule (JsonString). Messages from any thread
// pass the outbox to the window thread; the last message of each
// screen-describing type is cached and replayed when the page says "ready".
//
// Nothing in this header needs a Windows header: the portable core builds and
// is tested on Linux too.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/transfer_progress.h"

namespace nv {

// ---------------------------------------------------------------------------
// Fixed values (the sentences the player reads are in bridge/player_texts.h)

inline constexpr char kLauncherVersionText[] = "1.0.0";
inline constexpr wchar_t kDefaultGameFolder[] = L"C:\\Games\\Norvane";

// ---------------------------------------------------------------------------
// The page's vocabulary: the words the page switches on. The rest of the
// launcher passes these values; only the message builders write the words,
// through the *Name functions, so a misspelt word cannot compile.

// The screen a state message shows.
enum class Screen { kInstall, kInstalling, kReady, kUpdating, kRepair };
// A row of the file list or of the install steps.
enum class RowState { kWait, kNow, kDone, kFail };
// Which counters a progress message reports: the files of the content sets,
// the check of the files on disk, or one runtime's download.
enum class Phase { kFiles, kCheck, kDeps };
// The member "t" of a message.
enum class MessageType {
  kState, kSteps, kFileList, kRepair, kDeps, kNews, kOnline, kError, kToast, kBrowse, kProgress
};

std::string_view ScreenName(Screen screen);
std::string_view RowStateName(RowState state);
std::string_view PhaseName(Phase phase);
std::string_view MessageTypeName(MessageType type);

// ---------------------------------------------------------------------------
// JSON encoding

// The escaped bytes without quotes: tab, LF, CR, '"' and '\' get their short
// escapes, other bytes below 0x20 "\u00xx" (lower-case hex); every other byte,
// 0x7F and multi-byte UTF-8 included, is copied unchanged.
std::string JsonEscape(std::string_view utf8);
// JsonEscape between double quotes.
std::string JsonString(std::string_view utf8);

// ---------------------------------------------------------------------------
// Commands

// Splits at every '|', keeping empty fields (a trailing '|' gives a trailing
// empty field). Field 0 is the command name.
std::vector<std::wstring> SplitCommand(std::wstring_view text);
// Field index of a split command: missing fields read as empty.
std::wstring_view CommandField(const std::vector<std::wstring>& fields, std::size_t index);
// A boolean argument is true only when it is exactly "1".
bool IsTrueField(const std::vector<std::wstring>& fields, std::size_t index);

// ---------------------------------------------------------------------------
// Records the page mirrors

// The process-wide status record. Written only by the running job (one at a
// time, on the worker thread), read when a state message is built.
struct StatusRecord {
  std::wstring installDir;     // empty while no game folder is known
  bool hdEnabled = false;
  std::string contentVersion;  // UTF-8 version text of the client content set
  std::int64_t clientBytes = 0;
  std::int64_t hdBytes = 0;
  std::int64_t needBytes = 0;
};
extern StatusRecord status;

struct FileRow {
  std::string path;  // UTF-8, relative to the game folder, '/' separators
  std::int64_t size = 0;
  RowState state = RowState::kWait;
};

// Guarded by progressMutex; holders only copy or assign.
struct ProgressRecord {
  Phase phase = Phase::kFiles;
  std::string currentFile;
  std::vector<FileRow> fileRows;
  std::int32_t activeRow = -1;
  bool sendFileList = false;
  bool sendRepair = false;
  std::int32_t repairChecked = 0;
  std::int32_t repairBroken = 0;
  std::int32_t repairMissing = 0;
  std::int32_t repairFixed = 0;
};
extern std::mutex progressMutex;
extern ProgressRecord progressRecord;

// The instance the jobs share and the progress report reads.
extern TransferProgress jobTransfer;

extern std::atomic<std::int64_t> setBytesDone;
extern std::atomic<std::int64_t> setBytesTotal;
extern std::atomic<std::int64_t> checkedBytesClient;
extern std::atomic<std::int64_t> checkedBytesHd;
extern std::atomic<std::int32_t> filesDone;
extern std::atomic<std::int32_t> filesTotal;

struct StepItem {
  std::string name;  // UTF-8
  RowState state = RowState::kWait;
};

struct PrerequisiteStatus {
  std::string id;
  std::string name;
  bool installed = false;
};

// ---------------------------------------------------------------------------
// Message builders: pure, member order byte for byte as the page reads them

struct StateFlags {
  bool paused = false;    // "paused":1 only when set
  bool checking = false;  // "checking":1 only when set
};
// dirUtf8 is the folder already chosen for display (installDir, or the default).
std::string BuildStateJson(const StatusRecord& record, Screen screen,
                           std::string_view dirUtf8, std::int64_t freeBytes, StateFlags flags);
std::string BuildErrorJson(std::string_view text);
std::string BuildToastJson(std::string_view text);
std::string BuildStepsJson(const std::vector<StepItem>& steps);
std::string BuildDepsJson(const std::vector<PrerequisiteStatus>& items);
std::string BuildBrowseJson(std::string_view dirUtf8, std::int64_t freeBytes);
// done per row: the size for done rows, activeDone capped at the size for
// the active row, else 0. At most the rows given are written (the sync engine
// keeps them at 300).
std::string BuildFileListJson(const std::vector<FileRow>& rows, std::int32_t activeRow,
                              std::int64_t activeDone);
std::string BuildRepairJson(std::int32_t checked, std::int32_t broken, std::int32_t missing,
                            std::int32_t fixed);

struct ProgressValues {
  Phase phase = Phase::kFiles;
  std::string file;
  std::int64_t fileDone = 0;
  std::int64_t fileTotal = 0;
  std::int64_t done = 0;
  std::int64_t total = 0;
  std::int32_t filesDone = 0;
  std::int32_t filesTotal = 0;
  std::int64_t speed = 0;
  std::int64_t eta = -1;
};
// The progress numbers for one tick: done/total/speed chosen by phase, done
// capped at total, eta derived.
struct CounterSample {
  std::int64_t transferDone = 0;
  std::int64_t transferTotal = 0;
  std::int64_t transferSpeed = 0;
  std::int64_t setDone = 0;
  std::int64_t setTotal = 0;
  std::int64_t checkedClient = 0;
  std::int64_t checkedHd = 0;
  std::int32_t filesDone = 0;
  std::int32_t filesTotal = 0;
};
ProgressValues ComputeProgress(Phase phase, std::string_view file,
                               const CounterSample& sample);
std::string BuildProgressJson(const ProgressValues& values);

// "1.5 GB", "3 MB", "1 KB": the sizes shown in messages.
std::string FormatSize(std::int64_t bytes);

// ---------------------------------------------------------------------------
// Delivery (window thread unless noted)

// Any thread: queues a message for the window thread and wakes it.
// A state message names its screen, which the window thread remembers.
void PostToPage(MessageType type, std::string json, std::optional<Screen> screen = std::nullopt);
// The kWmOutbox handler: moves every queued message to the cache, the page or
// the pending list.
void DrainOutbox();
// Hands one message to the web view; nothing without one.
void SendToPage(const std::string& json);
// After "ready": the cached messages in their fixed order, then the held ones.
void ReplayToPage();

bool IsPageReady();
void SetPageReady(bool ready);
// The screen of the last state message drained; nothing at start.
std::optional<Screen> CurrentScreen();
std::optional<std::string> CachedMessage(MessageType type);

// The web view host installs the sink that posts to the page (UTF-8 JSON in);
// an empty sink means no web view exists.
using PageSink = std::function<void(const std::string& json)>;
void SetPageSink(PageSink sink);
bool HasWebView();
// The main window installs how a producer wakes the window thread. A plain
// function, swapped atomically: producers on other threads may be running.
using OutboxWake = void (*)();
void SetOutboxWake(OutboxWake wake);

// ---------------------------------------------------------------------------
// Reports (any thread unless noted)

void ReportState(Screen screen, bool paused, bool checking);
// The free bytes on the folder's volume as the page reads them ("freeBytes"
// of the state and browse messages): -1 when they cannot be measured.
std::int64_t FreeBytesForPage(std::wstring_view folder);
void ReportError(std::string_view text);
void Toast(std::string_view text);
void ReportSteps(const std::vector<StepItem>& steps);
void ReportPrerequisites(const std::vector<PrerequisiteStatus>& items);
void SetPhase(Phase phase);
void SetCurrentFile(std::string_view text);
void SetFileRowState(std::size_t index, RowState state);

// Window thread, on the progress timer and at job end: progress, filelist and
// repair messages, each only when its text changed.
void ProgressReport();
// Window thread: forget what was last sent, so the next tick sends it again.
void ClearLastSentProgress();
// Job start: every progress field and counter back to its reset value.
void ResetProgressForJob();

}  // namespace nv
