#include "browse_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

#include "data_grid.h"
#include "master_detail_pane.h"
#include "oracle/kvell_init.h"
#include "oracle/ui/ui_hooks.h"

namespace kvell {
namespace {

// Rows between two repaints of the progress while fetching.
constexpr int kProgressEvery = 200;

void remember_logon(const BrowseLogon& logon) {
  TLogonHistory& history = LogonHistory();
  std::lock_guard lock(history.Lock);
  for (const TLogonHistoryItem& item : history.Items)
    if (item.Username == logon.username && item.Database == logon.database) return;
  history.Items.push_back({logon.username, logon.database});
}

}  // namespace

BrowseWindow::BrowseWindow(QWidget* parent) : QMainWindow(parent), model_(&source_) {
  setObjectName(QStringLiteral("BrowseWindow"));
  setWindowTitle(QStringLiteral("kvell-browse"));
  dataset_.SetName("Browse");
  dataset_.SetSession(&session_);
  source_.SetDataSet(&dataset_);
  dataset_.AfterFetchRecord = [this](TOracleDataSet*, bool, TAfterFetchRecordAction& action) {
    fetch_progress(action);
  };

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  logon_bar_ = new QWidget(central);
  (new QVBoxLayout(logon_bar_))->setContentsMargins(0, 0, 0, 0);
  build_logon_bar(logon_bar_);
  layout->addWidget(logon_bar_);
  tabs_ = new QTabWidget(central);
  layout->addWidget(tabs_, 1);
  tabs_->addTab(build_query_tab(tabs_), QStringLiteral("&Query"));
  master_detail_ = new MasterDetailPane(session_, tabs_);
  tabs_->addTab(master_detail_, QStringLiteral("&DEPT / EMP"));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (tabs_->widget(index) == master_detail_ && session_.Connected() && !master_detail_->IsOpen())
      master_detail_->Open();
  });
  setCentralWidget(central);

  progress_ = new QLabel(this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("CancelFetch"));
  connect(cancel_, &QPushButton::clicked, this, [this] { cancel_requested_ = true; });
  statusBar()->addPermanentWidget(progress_);
  statusBar()->addPermanentWidget(cancel_);
  set_fetching(false);
  resize(760, 560);
}

BrowseWindow::~BrowseWindow() {
  // Its datasets use the session, which goes before the child widgets do.
  delete std::exchange(master_detail_, nullptr);
  dataset_.AfterFetchRecord = nullptr;
  dataset_.Close();
}

QWidget* BrowseWindow::build_query_tab(QWidget* parent) {
  auto* tab = new QWidget(parent);
  auto* layout = new QVBoxLayout(tab);
  controls_ = new QWidget(tab);
  auto* controls = new QVBoxLayout(controls_);
  controls->setContentsMargins(0, 0, 0, 0);

  sql_ = new QPlainTextEdit(controls_);
  sql_->setObjectName(QStringLiteral("SQL"));
  sql_->setMaximumHeight(80);
  auto* open = new QPushButton(QStringLiteral("&Open"), controls_);
  open->setObjectName(QStringLiteral("OpenButton"));
  connect(open, &QPushButton::clicked, this, [this] { OpenQuery(); });
  auto* sql_row = new QHBoxLayout;
  sql_row->addWidget(sql_);
  sql_row->addWidget(open, 0, Qt::AlignTop);
  controls->addLayout(sql_row);

  filter_ = new QLineEdit(controls_);
  filter_->setObjectName(QStringLiteral("Filter"));
  filter_->setPlaceholderText(QStringLiteral("Filter, e.g. (JOB = 'SALES*') AND (SAL >= 1250)"));
  connect(filter_, &QLineEdit::returnPressed, this, [this] { ApplyFilter(filter_->text().toStdString()); });
  qbe_ = new QPushButton(QStringLiteral("Query by e&xample"), controls_);
  qbe_->setObjectName(QStringLiteral("QBEButton"));
  qbe_->setCheckable(true);
  connect(qbe_, &QPushButton::clicked, this, [this](bool on) { SetQueryByExample(on); });
  apply_qbe_ = new QPushButton(QStringLiteral("&Apply"), controls_);
  apply_qbe_->setObjectName(QStringLiteral("ApplyQBE"));
  apply_qbe_->setEnabled(false);
  connect(apply_qbe_, &QPushButton::clicked, this, [this] { ApplyQueryByExample(); });
  auto* filter_row = new QHBoxLayout;
  filter_row->addWidget(filter_, 1);
  filter_row->addWidget(qbe_);
  filter_row->addWidget(apply_qbe_);
  controls->addLayout(filter_row);

  navigator_ = new TDataSetNavigator(&source_, controls_);
  controls->addWidget(navigator_);
  layout->addWidget(controls_);

  grid_ = MakeDataGrid(model_, source_, QStringLiteral("Grid"), tab);
  layout->addWidget(grid_, 1);
  return tab;
}

void BrowseWindow::build_logon_bar(QWidget* parent) {
  auto* row = new QHBoxLayout;
  username_ = new QComboBox(parent);
  username_->setObjectName(QStringLiteral("Username"));
  username_->setEditable(true);
  password_ = new QLineEdit(parent);
  password_->setObjectName(QStringLiteral("Password"));
  password_->setEchoMode(QLineEdit::Password);
  database_ = new QLineEdit(parent);
  database_->setObjectName(QStringLiteral("Database"));
  database_->setPlaceholderText(QStringLiteral("default database"));
  auto* logon = new QPushButton(QStringLiteral("&Log on"), parent);
  logon->setObjectName(QStringLiteral("LogonButton"));
  connect(logon, &QPushButton::clicked, this, [this] { LogOn(); });
  // An earlier logon fills in its database.
  connect(username_, &QComboBox::activated, this, [this](int index) {
    database_->setText(username_->itemData(index).toString());
  });
  row->addWidget(new QLabel(QStringLiteral("Username"), parent));
  row->addWidget(username_, 1);
  row->addWidget(new QLabel(QStringLiteral("Password"), parent));
  row->addWidget(password_, 1);
  row->addWidget(new QLabel(QStringLiteral("Database"), parent));
  row->addWidget(database_, 2);
  row->addWidget(logon);
  static_cast<QVBoxLayout*>(parent->layout())->addLayout(row);
}

void BrowseWindow::SetLogon(const BrowseLogon& logon) {
  username_->setEditText(QString::fromStdString(logon.username));
  password_->setText(QString::fromStdString(logon.password));
  database_->setText(QString::fromStdString(logon.database));
}

void BrowseWindow::SetSQL(const std::string& sql) { sql_->setPlainText(QString::fromStdString(sql)); }

bool BrowseWindow::LogOn() {
  BrowseLogon logon{username_->currentText().toStdString(), password_->text().toStdString(),
                    database_->text().toStdString()};
  try {
    dataset_.Close();
    master_detail_->Close();
    session_.LogOff();
    session_.SetLogonUsername(logon.username);
    session_.SetLogonPassword(logon.password);
    session_.SetLogonDatabase(logon.database);
    session_.LogOn();
  } catch (...) {
    HandleApplicationException(this);
    return false;
  }
  remember_logon(logon);
  username_->clear();
  TLogonHistory& history = LogonHistory();
  std::lock_guard lock(history.Lock);
  for (const TLogonHistoryItem& item : history.Items)
    username_->addItem(QString::fromStdString(item.Username), QString::fromStdString(item.Database));
  username_->setEditText(QString::fromStdString(logon.username));
  statusBar()->showMessage(QStringLiteral("Logged on as %1").arg(QString::fromStdString(logon.username)));
  return true;
}

bool BrowseWindow::OpenQuery() {
  bool opened = true;
  set_fetching(true);
  try {
    dataset_.Close();
    dataset_.SetSQLText(sql_->toPlainText().toStdString());
    dataset_.Open();
  } catch (...) {
    opened = false;
    HandleApplicationException(this);
  }
  set_fetching(false);
  if (opened) statusBar()->showMessage(QStringLiteral("%1 rows fetched").arg(fetched_));
  return opened;
}

bool BrowseWindow::SetQueryByExample(bool on) {
  bool done = true;
  try {
    dataset_.SetQBEMode(on);
  } catch (...) {
    done = false;
    HandleApplicationException(this);
  }
  show_qbe_mode();
  return done;
}

bool BrowseWindow::ApplyQueryByExample() {
  bool done = true;
  try {
    dataset_.ApplyQBE();
  } catch (...) {
    done = false;
    HandleApplicationException(this);
  }
  show_qbe_mode();
  if (done) statusBar()->showMessage(QStringLiteral("%1 rows").arg(model_.rowCount()));
  return done;
}

void BrowseWindow::show_qbe_mode() {
  qbe_->setChecked(dataset_.QBEMode());
  apply_qbe_->setEnabled(dataset_.QBEMode());
}

bool BrowseWindow::ShowMasterDetail() {
  tabs_->setCurrentWidget(master_detail_);  // opens it when the session is there
  return master_detail_->IsOpen() || master_detail_->Open();
}

bool BrowseWindow::ApplyFilter(const std::string& text) {
  try {
    dataset_.SetFilterText(text);
    dataset_.SetFiltered(!text.empty());
  } catch (const std::exception& error) {
    statusBar()->showMessage(QString::fromStdString(error.what()));
    return false;
  }
  statusBar()->clearMessage();
  return true;
}

void BrowseWindow::set_fetching(bool fetching) {
  if (fetching) {
    fetched_ = 0;
    cancel_requested_ = false;
  }
  fetching_ = fetching;
  // Only Cancel answers while rows arrive.
  controls_->setEnabled(!fetching);
  logon_bar_->setEnabled(!fetching);
  cancel_->setVisible(fetching);
  progress_->setVisible(fetching);
}

void BrowseWindow::fetch_progress(TAfterFetchRecordAction& action) {
  ++fetched_;
  // Rows the grid asks for later arrive inside its painting: no event loop there.
  if (!fetching_) return;
  if (fetched_ % kProgressEvery == 0) {
    progress_->setText(QStringLiteral("%1 rows").arg(fetched_));
    QCoreApplication::processEvents();
  }
  if (cancel_requested_) action = afCancel;
}

}  // namespace kvell
