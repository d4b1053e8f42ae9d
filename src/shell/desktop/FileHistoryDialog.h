#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>

namespace vx {

struct CFileHistoryInfo;

// The list of history records: nine columns, multi-selection, Delete key.
class CFileHistoryListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CFileHistoryListView(QWidget* parent = nullptr);
  void Fill();
  // Ids of the selected records.
  std::vector<uint64_t> SelectedIds() const;

 signals:
  void deleteRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// "File Manager": the history records, deleting them and replaying one.
class CFileHistory : public QDialog {
  Q_OBJECT

 public:
  explicit CFileHistory(QWidget* parent = nullptr);
  CFileHistoryListView* list() const { return list_; }

  // Starts a player on a record; set by the program once the player exists.
  using PlayHandler = std::function<void(const CFileHistoryInfo&)>;
  static void SetPlayHandler(PlayHandler handler);

  void DeleteSelected();
  void OpenSelected();

 private:
  CFileHistoryListView* list_;
  QPushButton* open_;
};

}  // namespace vx
