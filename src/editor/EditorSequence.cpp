#include "editor/EditorSequence.h"

#include "app/FileHistory.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "tools/FrameInput.h"

namespace vx {
namespace {

const FileListSequence::Messages kEditorMessages = {
    "",
    "Error EDIT1002: Image dimension is not correct!",
    "Error EDIT1003: Input file %s not found\n",
};

}  // namespace

EditorSequence::EditorSequence() : FileListSequence(kEditorMessages) {}

bool EditorSequence::Load(int64_t n) {
  auto file = RawFile::OpenRead(CurrentPath());
  if (!file) {
    ShowMessage(CannotReadMessage(CurrentPath(), "Error EDIT1004: Input file %s not found\n"));
    return false;
  }
  FrameImage& frame = CurrentFrame();
  return SeekFrame(*file, frame, n) && ReadFrame(*file, frame) > 0;
}

void EditorSequence::Shown(int64_t n, bool) {
  shown_ = n;
}

void EditorSequence::Close() {
  FileListSequence::Close();
  if (shown_.load() > 1) AddToHistory(CurrentPath(), Format(), kOpened);
}

}  // namespace vx
