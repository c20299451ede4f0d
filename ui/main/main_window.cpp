#include "ui/main/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <charconv>

#include "engine/languages.h"
#include "engine/setting_keys.h"
#include "engine/settings.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/gui_prompts.h"
#include "platform/qt/pointer.h"
#include "ui/languages/language_windows.h"
#include "ui/main/add_folder.h"
#include "ui/main/background_run.h"
#include "ui/main/file_list_model.h"
#include "ui/main/file_list_view.h"
#include "ui/main/picture_button.h"

namespace quillory::ui {
namespace {

const QString kRenameUnitPrompt = QStringLiteral("Rename \"Dollar\" to:");
const QString kRenameSubunitPrompt = QStringLiteral("Rename \"Cent\" to:");
constexpr int kLuckyDraw = 7;

// A stored option as a number; nothing when the text is not one.
std::optional<double> StoredNumber(const std::string& text) {
  std::string_view digits = text;
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return value;
}

QFont ArialBold(qreal points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

// Design sizes are in twips; 15 twips make a pixel at 96 dots per inch.
constexpr int Px(int twips) {
  return twips / 15;
}

}  // namespace

MainWindow::MainWindow(SettingsStore& store, WordSource& words, qt::Dialogs& dialogs,
                       MainWindowServices services, QWidget* parent)
    : QWidget(parent),
      store_(store),
      words_(words),
      dialogs_(dialogs),
      services_(std::move(services)) {
  setObjectName(QStringLiteral("Form1"));
  BuildControls();
  SetTabOrder();
  CentreOnScreen();
  LoadPointers();
  MakeRun();
  MaybeOpenHomePage();
  setWindowTitle(QStringLiteral("Quillory"));
  RestoreOptions();
  Connect();
  // A default language chosen in an earlier run holds from the start.
  LoadDefaultLanguage(store_, words_);
  command1_->setFocus();
}

MainWindow::~MainWindow() {
  // Scans still running stop and report to nobody; their watchers go before the pointer they
  // hold busy.
  *stop_scans_ = true;
  qDeleteAll(findChildren<QFutureWatcher<QStringList>*>());
}

void MainWindow::BuildControls() {
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::Button, Qt::white);
  setPalette(white);
  setWindowIcon(QIcon(QStringLiteral(":/icons/quillory.svg")));

  const QFont picture_font = ArialBold(11.25);
  const QFont option_font = ArialBold(9);
  const auto picture_button = [&](const char* name, const QString& caption, const char* icon,
                                  int twips) {
    auto* button =
        new PictureButton(caption, QStringLiteral(":/icons/%1.svg").arg(icon), Px(twips), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(picture_font);
    return button;
  };
  const auto option_button = [&](const char* name, const QString& caption, QWidget* frame) {
    auto* option = new QRadioButton(caption, frame);
    option->setObjectName(QString::fromLatin1(name));
    option->setFont(option_font);
    return option;
  };

  files_ = new FileListModel(this);
  list_ = new FileListView(files_, this);
  list_->setObjectName(QStringLiteral("ListView1"));
  list_->setFont(option_font);
  list_->setPalette(QPalette());  // the list keeps the system's window colours
  list_->setMinimumSize(Px(8235), Px(1575));

  check1_ = picture_button("Check1", QStringLiteral("Add Excel Files"), "add_files", 2385);
  check5_ =
      picture_button("Check5", QStringLiteral("Add All Excel Files In Folder"), "add_folder", 3975);
  check7_ = picture_button("Check7", QStringLiteral("Clear List"), "clear_list", 1575);

  frame1_ = new QGroupBox(this);
  frame1_->setObjectName(QStringLiteral("Frame1"));
  option1_ = option_button("Option1", QStringLiteral("Number to Text"), frame1_);
  option2_ = option_button("Option2", QStringLiteral("Currency to Text"), frame1_);
  option6_ = option_button(
      "Option6", QStringLiteral("Convert Numbers to Letters (A = 1, B = 2, etc.)"), frame1_);
  option1_->setChecked(true);

  frame2_ = new QGroupBox(this);
  frame2_->setObjectName(QStringLiteral("Frame2"));
  option3_ = option_button("Option3", QStringLiteral("Entire workbook"), frame2_);
  option4_ = option_button("Option4", QStringLiteral("Active sheet"), frame2_);
  option5_ = option_button("Option5", QStringLiteral("Block of specific cells"), frame2_);
  option3_->setChecked(true);

  check3_ = new QCheckBox(
      QStringLiteral("Make backup of Excel files before convert and put backup in same folder"),
      this);
  check3_->setObjectName(QStringLiteral("Check3"));
  check3_->setFont(option_font);
  check3_->setChecked(true);

  check4_ = picture_button("Check4", QStringLiteral("Change \"Dollar\" to X, Change \"Cent\" to Y"),
                           "rename_units", 2790);
  check8_ = picture_button("Check8", QStringLiteral("Add Other Languages"), "languages", 1485);
  check9_ =
      picture_button("Check9", QStringLiteral("Set Default Language"), "default_language", 1620);
  check2_ = picture_button("Check2", QStringLiteral("Start"), "start", 2070);

  // Outside the visible area: it takes the keyboard focus so that nothing visible has it.
  command1_ = new QPushButton(QStringLiteral("Command1"), this);
  command1_->setObjectName(QStringLiteral("Command1"));
  command1_->setGeometry(Px(-720), Px(2640), Px(615), Px(495));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(Px(120), Px(120), Px(120), Px(120));
  layout->setSpacing(Px(90));
  layout->addWidget(list_, 1);

  auto* file_commands = new QHBoxLayout;
  file_commands->setSpacing(Px(105));
  file_commands->addWidget(check1_, 2385);
  file_commands->addWidget(check5_, 3975);
  file_commands->addWidget(check7_, 1575);
  layout->addLayout(file_commands);

  const auto fill_frame = [](QGroupBox* frame, std::initializer_list<QRadioButton*> options) {
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(Px(135), Px(150), Px(135), Px(150));
    row->setSpacing(Px(300));
    for (QRadioButton* option : options) row->addWidget(option);
    row->addStretch(1);
  };
  fill_frame(frame1_, {option1_, option2_, option6_});
  fill_frame(frame2_, {option3_, option4_, option5_});
  layout->addWidget(frame1_);
  layout->addWidget(frame2_);

  auto* backup_row = new QHBoxLayout;
  backup_row->setContentsMargins(Px(15), 0, 0, 0);
  backup_row->addWidget(check3_);
  backup_row->addStretch(1);
  layout->addLayout(backup_row);

  auto* commands = new QHBoxLayout;
  commands->setSpacing(Px(90));
  commands->addWidget(check4_, 2790);
  commands->addWidget(check8_, 1485);
  commands->addWidget(check9_, 1620);
  commands->addWidget(check2_, 2070);
  layout->addLayout(commands);

  resize(sizeHint());
}

void MainWindow::SetTabOrder() {
  const QList<QWidget*> order = {command1_, check2_,  check7_,  check5_,  check1_,  list_,
                                 option1_,  option2_, option5_, option4_, option3_, check3_,
                                 check8_,   check9_,  option6_, check4_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void MainWindow::Connect() {
  connect(check1_, &PictureButton::toggled, this, &MainWindow::AddFiles);
  connect(check5_, &PictureButton::toggled, this, &MainWindow::AddFolder);
  connect(check7_, &PictureButton::toggled, this, &MainWindow::ClearList);
  connect(check4_, &PictureButton::clicked, this, &MainWindow::RenameUnits);
  connect(check8_, &PictureButton::toggled, this, &MainWindow::OpenLanguageEditor);
  connect(check9_, &PictureButton::toggled, this, &MainWindow::OpenDefaultLanguage);
  connect(check2_, &PictureButton::toggled, this, &MainWindow::Start);

  const auto write = [this](std::string_view key, std::string_view value) {
    return [this, key, value] { store_.WriteSetting(key, value); };
  };
  connect(option1_, &QRadioButton::clicked, this, write(keys::kOption, "1"));
  connect(option2_, &QRadioButton::clicked, this, write(keys::kOption, "2"));
  connect(option3_, &QRadioButton::clicked, this, write(keys::kType, "1"));
  connect(option4_, &QRadioButton::clicked, this, write(keys::kType, "2"));
  connect(option5_, &QRadioButton::clicked, this, write(keys::kType, "3"));
  connect(check3_, &QCheckBox::clicked, this, [this](bool ticked) {
    store_.WriteSetting(keys::kBackupCheck, ticked ? "True" : "False");
  });

  // Hand over the four main commands, normal over the background and the list; the other
  // controls leave the pointer as it was.
  for (PictureButton* command : {check1_, check5_, check7_, check2_}) {
    command->setMouseTracking(true);
    command->installEventFilter(this);
  }
  setMouseTracking(true);
  list_->setMouseTracking(true);
  list_->viewport()->setMouseTracking(true);
  connect(list_, &FileListView::PointerMoved, this, [this] { pointer_->ShowNormal(); });
}

void MainWindow::CentreOnScreen() {
  const QScreen* screen = this->screen();
  if (!screen) return;
  const QRect whole = screen->geometry();
  move(whole.left() + (whole.width() - width()) / 2, whole.top() + (whole.height() - height()) / 2);
}

void MainWindow::LoadPointers() {
  const QString folder = services_.program_folder;
  std::optional<QCursor> hand;
  std::optional<QCursor> drag;
  if (!folder.isEmpty()) {
    hand = qt::LoadPointerFile(folder + QStringLiteral("/HAND-M.CUR"));
    drag = qt::LoadPointerFile(folder + QStringLiteral("/drag.ico"));
  }
  pointer_ =
      std::make_unique<qt::WindowPointer>(this, hand.value_or(QCursor(Qt::PointingHandCursor)));
  if (drag) list_->SetDragPointer(*drag);
}

void MainWindow::MakeRun() {
  workbook::RunServices services;
  services.open_application = services_.open_application;
  services.spreadsheet_in_use = services_.spreadsheet_in_use;
  services.now = [] { return std::chrono::system_clock::now(); };
  run_ = std::make_unique<BackgroundRun>(this, words_, dialogs_, *pointer_, std::move(services));
  connect(run_.get(), &BackgroundRun::Finished, this, &MainWindow::RunFinished);
  connect(run_.get(), &BackgroundRun::Finished, this, [this] { SetWordCommandsEnabled(true); });
}

// The run reads the current language and its words from its own thread, so the commands that
// change them wait until it ends.
void MainWindow::SetWordCommandsEnabled(bool enabled) {
  for (QAbstractButton* button : {check4_, check8_, check9_}) button->setEnabled(enabled);
}

void MainWindow::MaybeOpenHomePage() {
  if (!services_.draw_percent || !services_.open_web_page) return;
  if (services_.draw_percent() == kLuckyDraw) services_.open_web_page(kHomePage);
}

void MainWindow::RestoreOptions() {
  const std::optional<double> kind = StoredNumber(store_.ReadSetting(keys::kOption, 1));
  const bool number = kind == 1.0;
  (number ? option1_ : option2_)->setChecked(true);
  RewriteInNormalForm(keys::kOption, number ? "1" : "2");

  const bool backup = store_.ReadSetting(keys::kBackupCheck, "True") == "True";
  check3_->setChecked(backup);
  if (!backup) RewriteInNormalForm(keys::kBackupCheck, "False");

  // Any other value selects nothing, so the scope chosen in the design stays and the value too.
  const std::optional<double> scope = StoredNumber(store_.ReadSetting(keys::kType, 1));
  if (scope == 1.0) {
    option3_->setChecked(true);
    RewriteInNormalForm(keys::kType, "1");
  } else if (scope == 2.0) {
    option4_->setChecked(true);
    RewriteInNormalForm(keys::kType, "2");
  } else if (scope == 3.0) {
    option5_->setChecked(true);
    RewriteInNormalForm(keys::kType, "3");
  }
}

void MainWindow::RewriteInNormalForm(std::string_view key, std::string_view normal) {
  if (store_.HasSetting(key) && store_.ReadSetting(key, "") != normal) {
    store_.WriteSetting(key, normal);
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
    pointer_->ShowHand();
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!childAt(event->position().toPoint())) pointer_->ShowNormal();
  QWidget::mouseMoveEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A run stops only between workbooks of its own accord; closing now could leave one half saved.
  if (running()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void MainWindow::AddFiles(bool pressed) {
  if (!pressed) return;
  check1_->setChecked(false);
  files_->Append(dialogs_.OpenFiles(this, kAddFilesTitle, kWorkbookFilter));
}

void MainWindow::AddFolder(bool pressed) {
  if (!pressed) return;
  check5_->setChecked(false);
  const QString folder = add_folder::PickFolder(dialogs_, this, add_folder::kFolderPrompt);
  if (folder.isEmpty()) return;

  // Each scan has its own thread and state; the list grows in one piece when it ends.
  auto busy = std::make_shared<qt::BusyPointer>(*pointer_);
  auto* scan = new QFutureWatcher<QStringList>(this);
  ++scans_running_;
  connect(scan, &QFutureWatcherBase::finished, this, [this, scan, busy]() mutable {
    files_->Append(scan->result());
    busy.reset();
    --scans_running_;
    scan->deleteLater();
    emit ScanFinished();
  });
  scan->setFuture(QtConcurrent::run(
      [folder, stop = stop_scans_] { return add_folder::Scan(folder, stop.get()); }));
}

void MainWindow::ClearList(bool pressed) {
  if (!pressed) return;
  check7_->setChecked(false);
  files_->Clear();
}

void MainWindow::RenameUnits() {
  // Asked on every click, whichever look the button has.
  const std::string unit = store_.ReadSetting(keys::kDollar, SettingDefault(keys::kDollar));
  const std::string subunit = store_.ReadSetting(keys::kCent, SettingDefault(keys::kCent));
  const auto ask = [this](const QString& prompt, const std::string& current, std::string_view key) {
    const std::optional<QString> answer = dialogs_.AskText(this, prompt, qt::ToQString(current));
    if (answer && !answer->isEmpty()) store_.WriteSetting(key, qt::ToUtf8(*answer));
  };
  ask(kRenameUnitPrompt, unit, keys::kDollar);
  ask(kRenameSubunitPrompt, subunit, keys::kCent);
}

void MainWindow::OpenLanguageEditor(bool pressed) {
  if (!pressed) return;
  check8_->setChecked(false);
  ShowLanguageEditor(this, store_,
                     [this](QWidget* over, const QString& text) { dialogs_.Message(over, text); });
}

void MainWindow::OpenDefaultLanguage(bool pressed) {
  if (!pressed) return;
  check9_->setChecked(false);
  ShowDefaultLanguage(this, store_, words_);
}

workbook::RunOptions MainWindow::CurrentRunOptions() const {
  workbook::RunOptions options;
  for (const QString& path : files_->Paths()) options.paths.push_back(qt::ToUtf8(path));
  if (option2_->isChecked()) {
    options.kind = workbook::Kind::Currency;
  } else if (option6_->isChecked()) {
    options.kind = workbook::Kind::Letters;
  }
  if (option4_->isChecked()) {
    options.scope = workbook::Scope::ActiveSheet;
  } else if (option5_->isChecked()) {
    options.scope = workbook::Scope::Block;
  }
  options.backup = check3_->isChecked();
  return options;
}

bool MainWindow::running() const {
  return run_->running();
}

void MainWindow::Start(bool pressed) {
  if (!pressed) return;
  check2_->setChecked(false);
  // The options are fixed at the press; a press during a run does nothing.
  if (run_->Start(CurrentRunOptions())) SetWordCommandsEnabled(false);
}

}  // namespace quillory::ui
