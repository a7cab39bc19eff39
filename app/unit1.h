// The status window TForm1: the start panel shown while the card is read,
// then the holder's name, tokens left, validity period and the close panel.
// Its first activation runs the card read sequence with the reader tools.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "app/application.h"
#include "app/card_files.h"
#include "app/controls.h"

class QLineEdit;

namespace kestra {

// Thread safety: window-system thread only.
class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Builds the controls and runs FormCreate, which hooks the application's activation.
  explicit TForm1(Application& application);

  // The controls, owned through Qt's parent links.
  TPanel* Panel4;
  TLabel* lblIme;
  QLineEdit* eImeInPriimek;
  TPanel* Panel1;
  TLabel* Label1;
  TLabel* lblSteviloZetonov;
  TPanel* Panel2;
  TLabel* lblDatumOd;
  TLabel* lblDatumDo;
  TLabel* Label2;
  TPanel* Panel3;
  TLabel* Label3;
  TPanel* pnlZacetni;
  TLabel* Label4;

  // Runs after every activation that got through the read sequence: the
  // card is shown. Not part of the window's design; the program's options use it.
  std::function<void()> OnCardShown;

  void FormCreate(QObject* Sender);
  // Reads the card at the first activation; later ones, and any that arrive
  // while the read sequence runs, do nothing.
  void AppActivate(QObject* Sender);
  // Key is a Qt key code; set it to 0 to consume the key.
  void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
  void Panel3Click(QObject* Sender);
  void lblImeClick(QObject* Sender);
  void Panel4Click(QObject* Sender);
  // Key is the typed character; set it to 0 to consume it.
  void eImeInPriimekKeyPress(QObject* Sender, QChar& Key);

  void ReadCardStatus();

  const CardState& State() const { return state_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void create_controls();
  void create_name_controls();
  void create_token_controls();
  void create_date_controls();
  void create_closing_controls();
  void set_tab_order();
  void preview_keys_of_children();
  bool preview_key(QObject* watched, QKeyEvent& event);
  void toggle_name_editor();
  void fill_labels();

  Application& application_;
  CardState state_;
  bool reading_ = false;  // the read sequence is running (it processes events)
  bool design_size_applied_ = false;  // at the first show; later shows keep the user's size
};

// The empty data module.
class TDM : public QObject {
  Q_OBJECT

 public:
  TDM() { setObjectName(QStringLiteral("DM")); }
};

// Starts FileName with Parameters as its one argument and Directory as its
// working directory (each only when not blank), and waits for its exit code
// while handling window events. kStillActive when termination was requested
// first; 0 after "Napaka pri startanju: " when it could not be started.
int32_t RunAndWait(Application& application, const std::string& Directory,
                   const std::string& FileName, const std::string& Parameters);

}  // namespace kestra
