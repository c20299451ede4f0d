#include "ui/main/main_window.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <charconv>

#include "engine/currency_names.h"
#include "engine/languages.h"
#include "engine/setting_keys.h"
#include "engine/settings.h"
#include "engine/words.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/pointer.h"
#include "platform/qt/text.h"
#include "ui/common/picture_button.h"
#include "ui/common/window_look.h"
#include "ui/languages/language_windows.h"
#include "ui/main/add_folder.h"
#include "ui/main/background_run.h"
#include "ui/main/file_list_model.h"
#include "ui/main/file_list_view.h"
#include "ui/main/help_window.h"
#include "ui/main/run_progress_window.h"

namespace quillory::ui {

using qt::ToQString;
using qt::ToUtf8;

namespace {

const QString kRenameUnitPrompt = QStringLiteral("Rename \"Dollar\" to:");
const QString kRenameSubunitPrompt = QStringLiteral("Rename \"Cent\" to:");
const QString kPluralPrompt = QStringLiteral("Plural of \"%1\":");
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

// A list of currencies that shows the chosen one by its code, so that it fits beside the kinds;
// the open list shows each code with its name.
class CurrencyList final : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    if (const QString code = currentData().toString(); !code.isEmpty()) option.currentText = code;
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
  }
};

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
  ShowCurrentLanguage();
  file_list_->setFocus();
}

MainWindow::~MainWindow() {
  // Scans still running stop and report to nobody; their watchers go before the pointer they
  // hold busy.
  *stop_scans_ = true;
  qDeleteAll(findChildren<QFutureWatcher<QStringList>*>());
}

void MainWindow::BuildControls() {
  ApplyWindowLook(this);
  setWindowIcon(QIcon(QStringLiteral(":/icons/quillory.svg")));

  const auto picture_button = [&](const char* name, const QString& caption, const char* icon,
                                  int twips) {
    auto* button =
        new PictureButton(caption, QStringLiteral(":/icons/%1.svg").arg(icon), Twips(twips), this);
    button->setObjectName(QString::fromLatin1(name));
    return button;
  };
  const auto option_button = [&](const char* name, const QString& caption, QWidget* group) {
    auto* option = new QRadioButton(caption, group);
    option->setObjectName(QString::fromLatin1(name));
    return option;
  };

  files_ = new FileListModel(this);
  file_list_ = new FileListView(files_, this);
  file_list_->setObjectName(QStringLiteral("ListView1"));
  file_list_->setPalette(QPalette());  // the list keeps the scheme's window colours
  // The designed size where the screen has room for it; on a small screen three rows at least.
  file_list_->setMinimumSize(Twips(8235), Twips(750));
  file_list_->SetDesignSize(QSize(Twips(8235), Twips(1575)));

  add_files_button_ =
      picture_button("Check1", QStringLiteral("&Add Excel Files"), "add_files", 2385);
  add_folder_button_ = picture_button("Check5", QStringLiteral("Add All Excel Files In &Folder"),
                                      "add_folder", 3975);
  clear_list_button_ = picture_button("Check7", QStringLiteral("Clea&r List"), "clear_list", 1575);

  kind_group_ = new QGroupBox(this);
  kind_group_->setObjectName(QStringLiteral("Frame1"));
  number_option_ = option_button("Option1", QStringLiteral("&Number to Text"), kind_group_);
  currency_option_ = option_button("Option2", QStringLiteral("&Currency to Text"), kind_group_);
  letters_option_ = option_button(
      "Option6", QStringLiteral("Convert Numbers to Le&tters (A = 1, B = 2, etc.)"), kind_group_);
  number_option_->setChecked(true);

  currency_box_ = new QWidget(this);
  currency_label_ = new QLabel(QStringLiteral("C&urrency:"), currency_box_);
  currency_label_->setObjectName(QStringLiteral("Label1"));
  currency_list_ = new CurrencyList(currency_box_);
  currency_list_->setObjectName(QStringLiteral("Combo1"));
  currency_list_->setEditable(false);
  currency_list_->setPalette(QPalette());  // a list box keeps the scheme's colours
  currency_list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  currency_list_->setMinimumContentsLength(4);
  currency_list_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  currency_label_->setBuddy(currency_list_);

  scope_group_ = new QGroupBox(this);
  scope_group_->setObjectName(QStringLiteral("Frame2"));
  workbook_option_ = option_button("Option3", QStringLiteral("&Entire workbook"), scope_group_);
  sheet_option_ = option_button("Option4", QStringLiteral("Acti&ve sheet"), scope_group_);
  block_option_ =
      option_button("Option5", QStringLiteral("&Block of specific cells"), scope_group_);
  workbook_option_->setChecked(true);

  backup_box_ = new QCheckBox(
      QStringLiteral("Make bac&kup of Excel files before convert and put backup in same folder"),
      this);
  backup_box_->setObjectName(QStringLiteral("Check3"));
  backup_box_->setChecked(true);
  language_label_ = new QLabel(this);
  language_label_->setObjectName(QStringLiteral("CurrentLanguage"));
  language_label_->setTextFormat(Qt::PlainText);

  rename_units_button_ =
      picture_button("Check4", QStringLiteral("Change \"&Dollar\" to X, Change \"Cent\" to Y"),
                     "rename_units", 2790);
  rename_units_button_->SetTogglesLook(true);
  languages_button_ =
      picture_button("Check8", QStringLiteral("Add &Other Languages"), "languages", 1485);
  default_language_button_ =
      picture_button("Check9", QStringLiteral("Set Default &Language"), "default_language", 1620);
  help_button_ = picture_button("Help", QStringLiteral("&Help"), "help", 1200);
  start_button_ = picture_button("Check2", QStringLiteral("&Start"), "start", 2070);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(Twips(120), Twips(120), Twips(120), Twips(120));
  layout->setSpacing(Twips(90));
  layout->addWidget(file_list_, 1);

  auto* file_commands = new QHBoxLayout;
  file_commands->setSpacing(Twips(105));
  file_commands->addWidget(add_files_button_, 2385);
  file_commands->addWidget(add_folder_button_, 3975);
  file_commands->addWidget(clear_list_button_, 1575);
  layout->addLayout(file_commands);

  const auto fill_group = [](QGroupBox* group, std::initializer_list<QRadioButton*> options) {
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(Twips(135), Twips(150), Twips(135), Twips(150));
    row->setSpacing(Twips(300));
    for (QRadioButton* option : options) row->addWidget(option);
    row->addStretch(1);
  };
  fill_group(kind_group_, {number_option_, currency_option_, letters_option_});
  fill_group(scope_group_, {workbook_option_, sheet_option_, block_option_});
  kind_row_ = new QHBoxLayout;
  kind_row_->setSpacing(Twips(90));
  kind_row_->addWidget(kind_group_, 1);
  auto* currency_row = new QHBoxLayout(currency_box_);
  currency_row->setContentsMargins(0, 0, 0, 0);
  currency_row->setSpacing(Twips(90));
  currency_row->addWidget(currency_label_);
  currency_row->addWidget(currency_list_);
  kind_row_->addWidget(currency_box_);
  layout->addLayout(kind_row_);
  layout->addWidget(scope_group_);

  auto* backup_row = new QHBoxLayout;
  backup_row->setContentsMargins(Twips(15), 0, 0, 0);
  backup_row->addWidget(backup_box_);
  backup_row->addStretch(1);
  backup_row->addWidget(language_label_);
  layout->addLayout(backup_row);

  auto* commands = new QHBoxLayout;
  commands->setSpacing(Twips(90));
  commands->addWidget(rename_units_button_, 2790);
  commands->addWidget(languages_button_, 1485);
  commands->addWidget(default_language_button_, 1620);
  commands->addWidget(help_button_, 1200);
  commands->addWidget(start_button_, 2070);
  layout->addLayout(commands);

  FitOnScreen(this);
}

void MainWindow::SetTabOrder() {
  // As the window reads: left to right, top to bottom.
  const QList<QWidget*> order = {file_list_,           add_files_button_, add_folder_button_,
                                 clear_list_button_,   number_option_,    currency_option_,
                                 letters_option_,      currency_list_,    workbook_option_,
                                 sheet_option_,        block_option_,     backup_box_,
                                 rename_units_button_, languages_button_, default_language_button_,
                                 help_button_,         start_button_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

// Tab enters an option group at its checked option, as in any dialog; the arrow keys move
// within the group.
void MainWindow::TabIntoCheckedOptions() {
  for (QRadioButton* option : {number_option_, currency_option_, letters_option_, workbook_option_,
                               sheet_option_, block_option_}) {
    option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
  }
}

void MainWindow::Connect() {
  connect(add_files_button_, &PictureButton::acted, this, &MainWindow::AddFiles);
  connect(add_folder_button_, &PictureButton::acted, this, &MainWindow::AddFolder);
  connect(clear_list_button_, &PictureButton::acted, this, &MainWindow::ClearList);
  connect(rename_units_button_, &PictureButton::acted, this, &MainWindow::RenameUnits);
  connect(languages_button_, &PictureButton::acted, this, &MainWindow::OpenLanguageEditor);
  connect(default_language_button_, &PictureButton::acted, this, &MainWindow::OpenDefaultLanguage);
  connect(help_button_, &PictureButton::acted, this, &MainWindow::OpenHelp);
  connect(start_button_, &PictureButton::acted, this, &MainWindow::Start);
  connect(file_list_, &FileListView::FoldersDropped, this, &MainWindow::ScanFolders);

  const auto write = [this](std::string_view key, std::string_view value) {
    return [this, key, value] { store_.WriteSetting(key, value); };
  };
  connect(number_option_, &QRadioButton::clicked, this, write(keys::kOption, "1"));
  connect(currency_option_, &QRadioButton::clicked, this, write(keys::kOption, "2"));
  connect(workbook_option_, &QRadioButton::clicked, this, write(keys::kType, "1"));
  connect(sheet_option_, &QRadioButton::clicked, this, write(keys::kType, "2"));
  connect(block_option_, &QRadioButton::clicked, this, write(keys::kType, "3"));
  connect(currency_list_, &QComboBox::activated, this, &MainWindow::ChooseCurrency);
  connect(backup_box_, &QCheckBox::clicked, this, [this](bool ticked) {
    store_.WriteSetting(keys::kBackupCheck, ticked ? "True" : "False");
  });
  for (QRadioButton* option : {number_option_, currency_option_, letters_option_, workbook_option_,
                               sheet_option_, block_option_}) {
    connect(option, &QRadioButton::toggled, this, &MainWindow::TabIntoCheckedOptions);
  }
  TabIntoCheckedOptions();

  // Hand over the four main commands, normal over the background and the list; the other
  // controls leave the pointer as it was.
  for (PictureButton* command :
       {add_files_button_, add_folder_button_, clear_list_button_, start_button_}) {
    command->setMouseTracking(true);
    command->installEventFilter(this);
  }
  setMouseTracking(true);
  file_list_->setMouseTracking(true);
  file_list_->viewport()->setMouseTracking(true);
  connect(file_list_, &FileListView::PointerMoved, this, [this] { pointer_->ShowNormal(); });
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
  if (drag) file_list_->SetDragPointer(*drag);
}

void MainWindow::MakeRun() {
  workbook::RunServices services;
  services.open_application = services_.open_application;
  services.spreadsheet_in_use = services_.spreadsheet_in_use;
  services.start_backup = services_.start_backup;
  services.now = [] { return std::chrono::system_clock::now(); };
  run_ = std::make_unique<BackgroundRun>(this, words_, dialogs_, *pointer_, std::move(services));
  connect(run_.get(), &BackgroundRun::Finished, this, &MainWindow::RunEnded);
}

// The run reads the current language and its words from its own thread, so the commands that
// change them wait until it ends.
void MainWindow::SetWordCommandsEnabled(bool enabled) {
  for (PictureButton* button :
       {rename_units_button_, languages_button_, default_language_button_}) {
    button->setEnabled(enabled);
  }
  // The run's currency was fixed at Start.
  currency_box_->setEnabled(enabled);
}

void MainWindow::MaybeOpenHomePage() {
  if (!services_.draw_percent || !services_.open_web_page) return;
  if (services_.draw_percent() == kLuckyDraw) services_.open_web_page(kHomePage);
}

void MainWindow::RestoreOptions() {
  const std::optional<double> kind = StoredNumber(store_.ReadSetting(keys::kOption, 1));
  const bool number = kind == 1.0;
  (number ? number_option_ : currency_option_)->setChecked(true);
  RewriteInNormalForm(keys::kOption, number ? "1" : "2");

  const bool backup = store_.ReadSetting(keys::kBackupCheck, "True") == "True";
  backup_box_->setChecked(backup);
  if (!backup) RewriteInNormalForm(keys::kBackupCheck, "False");

  // Any other value selects nothing, so the scope chosen in the design stays and the value too.
  const std::optional<double> scope = StoredNumber(store_.ReadSetting(keys::kType, 1));
  if (scope == 1.0) {
    workbook_option_->setChecked(true);
    RewriteInNormalForm(keys::kType, "1");
  } else if (scope == 2.0) {
    sheet_option_->setChecked(true);
    RewriteInNormalForm(keys::kType, "2");
  } else if (scope == 3.0) {
    block_option_->setChecked(true);
    RewriteInNormalForm(keys::kType, "3");
  }
}

void MainWindow::RewriteInNormalForm(std::string_view key, std::string_view normal) {
  if (store_.HasSetting(key) && store_.ReadSetting(key, "") != normal) {
    store_.WriteSetting(key, normal);
  }
}

QString MainWindow::CurrentLanguageName() const {
  const std::string& language = words_.CurrentLanguage();
  return IsBuiltInEnglish(language) ? QStringLiteral("English") : ToQString(language);
}

void MainWindow::ShowCurrentLanguage() {
  language_label_->setText(QStringLiteral("Language: %1").arg(CurrentLanguageName()));
  ShowCurrencies();
}

// The currencies of the current built-in language, the stored one chosen when the language has
// words for it and the language's own otherwise: what the list shows is what Start uses.
void MainWindow::ShowCurrencies() {
  currency_list_->clear();
  const BuiltInLanguage* built_in =
      words_.Speakers() ? ResolveBuiltIn(store_, words_.CurrentLanguage()) : nullptr;
  currency_box_->setVisible(built_in != nullptr);
  if (!built_in) return;
  BuiltInSpeaker& speaker = words_.Speakers()->Speaker(*built_in);
  for (const std::string& code : speaker.Currencies()) {
    currency_list_->addItem(ToQString(CurrencyLabel(code)), ToQString(code));
  }
  currency_list_->setEnabled(currency_list_->count() > 0);
  if (currency_list_->count() == 0) {
    currency_list_->addItem(QStringLiteral("none"));
    currency_list_->setToolTip(
        QStringLiteral("%1 has no words for any currency; amounts are left as they were.")
            .arg(ToQString(BuiltInDisplayName(*built_in))));
    return;
  }

  currency_list_->view()->setMinimumWidth(
      currency_list_->view()->sizeHintForColumn(0) +
      currency_list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  int chosen = currency_list_->findData(ToQString(ReadCurrency(store_, *built_in)));
  if (chosen < 0) chosen = currency_list_->findData(ToQString(built_in->currency));
  currency_list_->setCurrentIndex(std::max(chosen, 0));
  ShowCurrencyName();
}

void MainWindow::ChooseCurrency(int index) {
  const QString code = currency_list_->itemData(index).toString();
  if (code.isEmpty()) return;
  WriteCurrency(store_, ToUtf8(code));
  ShowCurrencyName();
}

void MainWindow::ShowCurrencyName() {
  const BuiltInLanguage* built_in = ResolveBuiltIn(store_, words_.CurrentLanguage());
  if (!built_in) return;
  currency_list_->setToolTip(
      QStringLiteral("%1: the currency of amounts in %2")
          .arg(currency_list_->currentText(), ToQString(BuiltInDisplayName(*built_in))));
}

QString MainWindow::CurrentCurrency() const {
  if (currency_box_->isHidden()) return {};
  return currency_list_->currentData().toString();
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
  if (running()) {
    // The window goes once the run has stopped, between two cells.
    event->ignore();
    if (!close_after_run_ && dialogs_.AskYesNo(this, kCancelToClose)) {
      close_after_run_ = true;
      run_->Cancel();
    }
    return;
  }
  // The report and help windows go with the window they belong to.
  for (QWidget* window : {report_window_.data(), static_cast<QWidget*>(help_window_.data())}) {
    if (window) window->close();
  }
  QWidget::closeEvent(event);
}

void MainWindow::AddFiles() {
  files_->Append(dialogs_.OpenFiles(this, kAddFilesTitle, kWorkbookFilter));
}

void MainWindow::AddFolder() {
  const QString folder = add_folder::PickFolder(dialogs_, this, add_folder::kFolderPrompt);
  if (folder.isEmpty()) return;
  ScanFolders({folder});
}

void MainWindow::ScanFolders(const QStringList& folders) {
  // Each scan has its own thread and state; the list grows in one piece when it ends.
  for (const QString& folder : folders) {
    auto busy = std::make_shared<qt::BusyPointer>(*pointer_);
    auto* scan = new QFutureWatcher<QStringList>(this);
    ++scans_running_;
    connect(scan, &QFutureWatcherBase::finished, this, [this, scan, busy, folder]() mutable {
      const QStringList found = scan->result();
      files_->Append(found);
      busy.reset();
      --scans_running_;
      scan->deleteLater();
      if (found.isEmpty()) dialogs_.Message(this, kNothingFound.arg(folder));
      emit ScanFinished();
    });
    scan->setFuture(QtConcurrent::run(
        [folder, stop = stop_scans_] { return add_folder::Scan(folder, stop.get()); }));
  }
}

void MainWindow::ClearList() {
  files_->Clear();
}

void MainWindow::RenameUnits() {
  // Each unit word, then its plural: offered as stored, or as the word and "s" when none is
  // stored or the word has just changed. Cancel on the first question leaves both words as
  // they were.
  const auto rename = [this](const QString& prompt, std::string_view key,
                             std::string_view plural_key) {
    const std::string word = store_.ReadSetting(key, SettingDefault(key));
    const std::optional<QString> answer = dialogs_.AskText(this, prompt, ToQString(word));
    if (!answer) return false;
    std::string renamed = word;
    if (!answer->isEmpty()) {
      renamed = ToUtf8(*answer);
      store_.WriteSetting(key, renamed);
    }
    const bool plural_stored = store_.HasSetting(plural_key);
    const std::string offered =
        plural_stored && renamed == word ? store_.ReadSetting(plural_key, "") : renamed + "s";
    const std::optional<QString> plural =
        dialogs_.AskText(this, kPluralPrompt.arg(ToQString(renamed)), ToQString(offered));
    // Stored when it says something the word and "s" would not, or replaces a stored plural.
    if (plural && !plural->isEmpty() && (plural_stored || ToUtf8(*plural) != renamed + "s")) {
      store_.WriteSetting(plural_key, ToUtf8(*plural));
    }
    return true;
  };
  if (!rename(kRenameUnitPrompt, keys::kDollar, keys::kDollarPlural)) return;
  rename(kRenameSubunitPrompt, keys::kCent, keys::kCentPlural);
}

void MainWindow::OpenLanguageEditor() {
  ShowLanguageEditor(this, store_, dialogs_);
  ShowCurrentLanguage();
}

void MainWindow::OpenDefaultLanguage() {
  ShowDefaultLanguage(this, store_, words_);
  ShowCurrentLanguage();
}

void MainWindow::OpenHelp() {
  if (!help_window_) help_window_ = new HelpWindow(this);
  help_window_->ShowHelp();
  help_window_->show();
  help_window_->raise();
  help_window_->activateWindow();
}

workbook::RunOptions MainWindow::CurrentRunOptions() const {
  workbook::RunOptions options;
  for (const QString& path : files_->Paths()) options.paths.push_back(ToUtf8(path));
  if (currency_option_->isChecked()) {
    options.kind = workbook::Kind::Currency;
  } else if (letters_option_->isChecked()) {
    options.kind = workbook::Kind::Letters;
  }
  if (sheet_option_->isChecked()) {
    options.scope = workbook::Scope::ActiveSheet;
  } else if (block_option_->isChecked()) {
    options.scope = workbook::Scope::Block;
  }
  options.backup = backup_box_->isChecked();
  return options;
}

bool MainWindow::running() const {
  return run_->running();
}

void MainWindow::Start() {
  // The options are fixed at the press; a press during a run does nothing.
  if (running()) return;
  words_.SetCurrency(ToUtf8(CurrentCurrency()));
  if (!run_->Start(CurrentRunOptions())) return;
  SetWordCommandsEnabled(false);
  files_->ClearOutcomes();
}

void MainWindow::RunEnded(const workbook::RunReport& report) {
  SetWordCommandsEnabled(true);
  if (!report.workbooks.empty()) files_->SetOutcomes(run_->paths(), report.workbooks);
  if (close_after_run_) {
    close();
  } else if (!report.workbooks.empty()) {
    if (report_window_) report_window_->close();
    report_window_ = dialogs_.ShowReport(this, report);
  }
  emit RunFinished(report);
}

}  // namespace quillory::ui
