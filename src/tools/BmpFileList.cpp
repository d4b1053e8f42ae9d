#include "tools/BmpFileList.h"

#include <algorithm>

#include "image/Dib.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "tools/Converter.h"

namespace vx {
namespace {

bool ReadHeader(const std::string& path, CDib& dib, bool& opened) {
  auto file = RawFile::OpenRead(path);
  opened = file.has_value();
  return opened && dib.Read(*file);
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return ToLowerAscii(a) < ToLowerAscii(b);
}

}  // namespace

bool BmpFileList::Open(const std::string& first) {
  names_.clear();
  reference_ = {};
  CDib dib;
  bool opened = false;
  if (!ReadHeader(first, dib, opened)) {
    ShowMessage("Error BMP1005:  image loaded Failed");
    return false;
  }
  names_.push_back(first);
  reference_ = {dib.Width(), dib.Height(), dib.BitCount()};
  return true;
}

void BmpFileList::Add(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (static_cast<int64_t>(names_.size()) >= kMaxBmpFiles) {
      ShowMessage(
          StrFormat("Error BMP1002:  You cannot select more than %d BMP files. Only first %d files are used!",
                    static_cast<int>(kMaxBmpFiles), static_cast<int>(kMaxBmpFiles)));
      return;
    }
    CDib dib;
    bool opened = false;
    if (!ReadHeader(path, dib, opened)) {
      ShowMessage(opened ? "Error BMP1004:  image loaded Failed" : "Error BMP1003:  image open Failed");
      return;
    }
    if (reference_.empty()) reference_ = {dib.Width(), dib.Height(), dib.BitCount()};
    if (dib.Width() != reference_.width || dib.Height() != reference_.height ||
        dib.BitCount() != reference_.bitCount) {
      ShowMessage(DifferentBmpFormatMessage(path, dib.Width(), dib.Height(), dib.BitCount(), reference_.width,
                                            reference_.height, reference_.bitCount));
      return;
    }
    const auto place = std::find_if(names_.begin(), names_.end(), [&](const std::string& existing) {
      return LessIgnoringCase(path, existing);
    });
    names_.insert(place, path);
    status_ =
        StrFormat("File %s (width = %d, height = %d)  is added.", path.c_str(), dib.Width(), dib.Height());
  }
}

int BmpFileList::MoveUp(int selected) {
  if (selected < 0 || selected >= static_cast<int>(names_.size())) {
    ShowMessage("Please select a BMP file to move!", kPromptCaption);
    return -1;
  }
  if (selected == 0) return selected;
  std::swap(names_[static_cast<size_t>(selected)], names_[static_cast<size_t>(selected - 1)]);
  return selected - 1;
}

int BmpFileList::MoveDown(int selected) {
  if (selected < 0 || selected >= static_cast<int>(names_.size())) {
    ShowMessage("Please select a BMP file to move!", kPromptCaption);
    return -1;
  }
  if (selected + 1 == static_cast<int>(names_.size())) return selected;
  std::swap(names_[static_cast<size_t>(selected)], names_[static_cast<size_t>(selected + 1)]);
  return selected + 1;
}

int BmpFileList::Delete(int selected) {
  if (selected < 0 || selected >= static_cast<int>(names_.size())) {
    ShowMessage("Please select a BMP file to Delete!", kPromptCaption);
    return -1;
  }
  names_.erase(names_.begin() + selected);
  if (names_.empty()) {
    reference_ = {};
    return -1;
  }
  return std::min(selected, static_cast<int>(names_.size()) - 1);
}

int BmpFileList::Repeat(int selected) {
  if (selected < 0 || selected >= static_cast<int>(names_.size())) {
    ShowMessage("Please select a BMP file to repeat!", kPromptCaption);
    return -1;
  }
  names_.insert(names_.begin() + selected + 1, names_[static_cast<size_t>(selected)]);
  return selected + 1;
}

std::vector<std::string> BmpFileList::Result() const {
  if (static_cast<int64_t>(names_.size()) >= kMaxBmpFiles) {
    ShowMessage(
        StrFormat("Error BMP1001:  You cannot select more than %d BMP files. Only first %d files are used!",
                  static_cast<int>(kMaxBmpFiles), static_cast<int>(kMaxBmpFiles)));
  }
  const size_t count = std::min(names_.size(), static_cast<size_t>(kMaxBmpFiles));
  return {names_.begin(), names_.begin() + static_cast<std::ptrdiff_t>(count)};
}

}  // namespace vx
