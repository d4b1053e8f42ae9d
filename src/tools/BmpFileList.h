#pragma once

// The list of BMP pictures that become the frames of a raw file, in order.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx {

class BmpFileList {
 public:
  struct Reference {
    int32_t width = 0, height = 0, bitCount = 0;
    bool empty() const { return width == 0 && height == 0 && bitCount == 0; }
  };

  // Starts the list with its first picture; false after "Error BMP1005" when its
  // header cannot be read.
  bool Open(const std::string& first);
  // Adds pictures in turn, each at its alphabetical place (case ignored); stops at
  // the first one that cannot be added, after its message.
  void Add(const std::vector<std::string>& paths);
  // The list operations; each returns the new selection (-1 for none). Without a
  // selection they show their prompt.
  int MoveUp(int selected);
  int MoveDown(int selected);
  int Delete(int selected);
  int Repeat(int selected);
  // The names for the job (at most 10240, after BMP1001 when the list is full).
  std::vector<std::string> Result() const;

  const std::vector<std::string>& Names() const { return names_; }
  const Reference& reference() const { return reference_; }
  const std::string& Status() const { return status_; }

 private:
  std::vector<std::string> names_;
  Reference reference_;
  std::string status_;
};

}  // namespace vx
