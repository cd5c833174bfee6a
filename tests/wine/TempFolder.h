// A folder of a test's own under the system's temp folder, removed with everything in it at the end.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace kestel::testing {

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp, length) + "kestel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount64()) + "-" + std::to_string(counter++);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() { RemoveTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's full path, without a trailing backslash.
  const std::string& Path() const noexcept { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

  // Writes content byte for byte, replacing the file.
  bool Write(const std::string& name, const std::string& content) const {
    HANDLE file =
        CreateFileA(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == content.size();
  }

  // The file's bytes; empty when it cannot be read.
  std::string Read(const std::string& name) const {
    HANDLE file = CreateFileA(File(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
    CloseHandle(file);
    return content;
  }

 private:
  static void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveTree(path);
        else
          DeleteFileA(path.c_str());
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
  }

  std::string path_;
};

// The Windows path of the build folder that holds the suite's own tools (KESTEL_TOOLS, a unix path
// that Wine shows under drive Z:), without a trailing backslash.
inline std::string ToolsFolder() {
  const char* unixPath = std::getenv("KESTEL_TOOLS");
  if (unixPath == nullptr) return {};
  std::string path = std::string("Z:") + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  while (path.size() > 2 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace kestel::testing
