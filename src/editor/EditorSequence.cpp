#include "editor/EditorSequence.h"

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

EditorSequence::EditorSequence(HistoryRecorder& history)
    : FileListSequence(kEditorMessages, true), history_(history) {}

bool EditorSequence::Load(int64_t n) {
  auto file = RawFile::OpenRead(CurrentPath());
  if (!file) {
    ShowMessage(CannotReadMessage(CurrentPath(), "Error EDIT1004: Input file %s not found\n"));
    return false;
  }
  return LoadFrom(*file, CurrentPath(), n);
}

void EditorSequence::Close() {
  FileListSequence::Close();
  if (ShownNumber() > 1) history_.Record({.path = CurrentPath(), .format = Format(), .operation = kOpened});
}

}  // namespace vx
