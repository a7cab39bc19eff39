#include "app/unit1.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/program_files.h"
#include "app/viewer_texts.h"
#include "runtime/str_convert.h"

namespace kestra {
namespace {

// Marks the read sequence as running for the length of a scope, also when it throws.
class RunningScope {
 public:
  explicit RunningScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningScope() { flag_ = false; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  bool& flag_;
};

QString text_of(const std::string& bytes) { return QString::fromStdString(bytes); }

}  // namespace

TForm1::TForm1(Application& application) : application_(application) {
  create_controls();
  FormCreate(this);
}

void TForm1::FormCreate(QObject*) {
  application_.OnActivate = [this](QObject* sender) { AppActivate(sender); };
}

void TForm1::AppActivate(QObject*) {
  if (!state_.FirstActivation || reading_) return;
  {
    RunningScope running(reading_);
    application_.ProcessMessages();
    ReadCardStatus();
  }
  pnlZacetni->hide();
  setWindowTitle(text_of(StatusCaption(state_)));
  state_.FirstActivation = false;
  if (OnCardShown) OnCardShown();
}

void TForm1::ReadCardStatus() {
  state_.ProgramDir = ProgramDirOf(application_.ExeName());
  const std::string data_dir = DataFileDirOf(state_.ProgramDir, UserCacheDir());
  state_.TokenFilePath = data_dir + kTokenFileName;
  state_.CardFilePath = data_dir + kCardFileName;

  if (!FileExists(kCardTool)) {
    application_.ShowMessage(MissingToolMessage(kCardTool));
    return;
  }
  if (int32_t code = RunAndWait(application_, "", kCardTool, state_.CardFilePath); code != 0) {
    if (auto message = CardToolExitMessage(code)) application_.ShowMessage(*message);
    application_.Terminate();
    return;
  }
  ParseCardFile(state_.CardFilePath, state_);

  if (!FileExists(kTokenTool)) {
    application_.ShowMessage(MissingToolMessage(kTokenTool));
    return;
  }
  if (RunAndWait(application_, "", kTokenTool, state_.TokenFilePath) != 0) return;
  ParseTokenFile(state_.TokenFilePath, state_);
  state_.HolderName.clear();
  fill_labels();
}

void TForm1::fill_labels() {
  lblSteviloZetonov->SetCaption(text_of(kvell::IntToStr(state_.TokenCount)));
  lblDatumOd->SetCaption(text_of(state_.ValidFrom));
  lblDatumDo->SetCaption(text_of(state_.ValidTo));
  lblIme->SetCaption(text_of(state_.HolderName));
}

void TForm1::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers) {
  if (Key == Qt::Key_Escape) {
    Key = 0;
    application_.Terminate();
  }
  if (Key == Qt::Key_F5) {
    Key = 0;
    toggle_name_editor();
  }
}

void TForm1::Panel3Click(QObject*) { application_.Terminate(); }

void TForm1::lblImeClick(QObject*) { toggle_name_editor(); }

void TForm1::Panel4Click(QObject*) { toggle_name_editor(); }

void TForm1::eImeInPriimekKeyPress(QObject*, QChar& Key) {
  if (Key == QChar(u'\r')) {
    Key = QChar(0);
    eImeInPriimek->hide();
  }
}

void TForm1::toggle_name_editor() {
  eImeInPriimek->setVisible(eImeInPriimek->isHidden());
  eImeInPriimek->setText(lblIme->Caption());
  if (!eImeInPriimek->isHidden()) {
    eImeInPriimek->setFocus();
    eImeInPriimek->selectAll();
  }
}

bool TForm1::preview_key(QObject* watched, QKeyEvent& event) {
  int key = event.key();
  FormKeyDown(this, key, event.modifiers());
  if (key == 0) return true;
  if (watched == eImeInPriimek && event.text().size() == 1) {
    QChar typed = event.text().front();
    eImeInPriimekKeyPress(eImeInPriimek, typed);
    if (typed.isNull()) return true;
  }
  return false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && preview_key(watched, static_cast<QKeyEvent&>(*event))) return true;
  return QWidget::eventFilter(watched, event);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  if (!preview_key(this, *event)) QWidget::keyPressEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  application_.Terminate();
  event->accept();
}

}  // namespace kestra
