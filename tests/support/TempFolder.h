// A private folder for a test's files: made with mkdtemp under $TMPDIR (or /tmp when that is unset),
// removed with everything in it when the object goes, so also when the test fails or throws.
// Whatever a test writes, and whatever the programs it starts write (screenshots, input files, the
// window system's instance directory, a tile server's cache), belongs inside one.
#pragma once

#include <string>
#include <vector>

class TempFolder {
 public:
  // `prefix` names the folder ("<prefix>-XXXXXX") so that a leftover shows whose it was.
  // Throws std::runtime_error when the folder cannot be made.
  explicit TempFolder(const std::string& prefix = "orvan-test");
  ~TempFolder();
  TempFolder(TempFolder&& other) noexcept;
  TempFolder& operator=(TempFolder&& other) noexcept;
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> Names() const;  // the folder's entries, sorted

 private:
  void Remove();
  std::string path_;
};
