#include "oracle/binding/client_loader.h"

#include "oracle/binding/client_platform.h"
#include "oracle/binding/client_search.h"
#include "oracle/kvell_init.h"
#include "runtime/exception.h"

namespace kvell {

LibraryHandle OCILibHandle = nullptr;
LibraryHandle MTSLibHandle = nullptr;

namespace {

constexpr const char* kInitializationError = "Initialization error\r\n";

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string load_failure_reason(int result) {
  switch (result) {
    case kOCINoLibrary:
      return OCIDLL.empty() ? "Could not locate OCI dll" : "Could not load " + quoted(OCIDLL);
    case kOCINotInitialized:
      return "Could not initialize " + quoted(OCIDLL);
    default:
      return "SQL*Net not properly installed";
  }
}

// Loads OCIDLL, a second time from its own directory if the first fails,
// and binds it. One of kOCIChosen, kOCINoLibrary, kOCINotInitialized.
int load_and_bind() {
  const ClientPlatform& platform = OCIPlatform();
  std::string dir = ExtractFileDir(OCIDLL);
  SetLibraryPath(dir);
  OCILibHandle = platform.libraries->Load(OCIDLL);
  if (!OCILibHandle) {
    SavedCurrentDir = platform.files->GetCurrentDir();
    platform.files->SetCurrentDir(dir);
    // As the system names it: OCIDLL may be relative or lead through a link,
    // and an auto-chosen OCIDLL is forgotten when the load fails.
    LibraryCurrentDir = platform.files->GetCurrentDir();
    SetLibraryPath(dir);
    OCILibHandle = platform.libraries->Load(OCIDLL);
  }
  if (!OCILibHandle) {
    AddLog("LoadLibrary(" + OCIDLL + ") returned 0");
    std::string reason = platform.libraries->LastError();
    if (!reason.empty()) AddLog(reason);
    return kOCINoLibrary;
  }
  return BindClientEntries(*platform.libraries, OCILibHandle) ? kOCIChosen : kOCINotInitialized;
}

// Loads and binds MTSDLL; the failure reason, or empty text.
std::string load_mts_library() {
  const ClientPlatform& platform = OCIPlatform();
  if (MTSDLL.empty()) MTSDLL = ExtractFilePath(OCIDLL) + platform.naming->MTSLibrary;
  if (!platform.files->FileExists(MTSDLL)) return "Could not locate " + quoted(MTSDLL);
  MTSLibHandle = platform.libraries->Load(MTSDLL);
  if (!MTSLibHandle) return "Could not load " + quoted(MTSDLL);
  BindMTSEntries(*platform.libraries, MTSLibHandle);
  if (MTSAvailable) return {};
  std::string reason = "Could not initialize " + quoted(MTSDLL);
  platform.libraries->Free(MTSLibHandle);
  MTSLibHandle = nullptr;
  ResetMTSEntries();
  MTSDLL.clear();
  return reason;
}

}  // namespace

TOracleCriticalSection& OCICriticalSection() {
  return KvellSlot(ProcessObject::OCICriticalSection).Get<TOracleCriticalSection>();
}

bool OCILoaded() { return OCILibHandle != nullptr; }

void InitOCI() {
  OracleLockGuard guard(OCICriticalSection());
  if (OCILoaded()) return;
  OCILog.clear();
  int result = ChooseOCIDLL();
  if (result == kOCIChosen) result = load_and_bind();
  if (result != kOCIChosen) {
    // The reason names OCIDLL before FreeOCI forgets an auto-chosen one.
    std::string message = kInitializationError + load_failure_reason(result) + "\r\n\r\n" + OCILog;
    FreeOCI();
    throw Exception(message);
  }
  SetClientUnload(FreeOCI);
  InitializeClientLibrary();
}

void InitMTS() {
  OracleLockGuard guard(OCICriticalSection());
  if (MTSLibHandle) return;
  ResetMTSEntries();
  InitOCI();
  std::string reason = load_mts_library();
  if (!reason.empty()) throw Exception(kInitializationError + reason);
}

void FreeOCI() {
  OracleLockGuard guard(OCICriticalSection());
  DynamicLibraries& libraries = *OCIPlatform().libraries;
  // The transaction-server library calls into the client: it goes first.
  if (MTSLibHandle) libraries.Free(MTSLibHandle);
  if (OCILibHandle) libraries.Free(OCILibHandle);
  MTSLibHandle = OCILibHandle = nullptr;
  if (OCIDLLAutoChosen) OCIDLL.clear();
  if (HomeNameAutoChosen) OracleHomeName.clear();
  OCIDLLAutoChosen = HomeNameAutoChosen = false;
  ResetClientEntries();
  ResetMTSEntries();
  OracleHomeKey.clear();
  OracleHomeDir.clear();
  MTSDLL.clear();
  BinSubdir = false;
}

void RestoreCurrentDir() {
  OracleLockGuard guard(OCICriticalSection());
  FileSystem& files = *OCIPlatform().files;
  if (!SavedCurrentDir.empty() && files.GetCurrentDir() == LibraryCurrentDir) files.SetCurrentDir(SavedCurrentDir);
  SavedCurrentDir.clear();
  LibraryCurrentDir.clear();
}

}  // namespace kvell
