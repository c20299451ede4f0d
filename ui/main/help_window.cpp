#include "ui/main/help_window.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QScreen>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "quillory/version.h"
#include "ui/main/main_window.h"

namespace quillory::ui {

QString HelpText() {
  QFile readme(QStringLiteral(":/help/README.md"));
  if (!readme.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(readme.readAll());
}

QString AboutText() {
  const QString version =
      QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size()));
  return QStringLiteral(
             "<h2>Quillory %1</h2>"
             "<p>Rewrites the numbers in spreadsheet workbooks as words, as currency amounts or "
             "as letters.</p>"
             "<p>Home page: <a href=\"%2\">%2</a><br>"
             "Now and then (about one start in a hundred) Quillory opens this page in your web "
             "browser when it starts.</p>"
             "<p>Quillory is built with these libraries:</p>"
             "<table cellspacing=\"0\" cellpadding=\"3\">"
             "<tr><td>Qt 6</td><td>LGPL-3.0</td><td>the windows</td></tr>"
             "<tr><td>libzip</td><td>BSD-3-Clause</td><td>reading and writing .xlsx "
             "packages</td></tr>"
             "<tr><td>pugixml</td><td>MIT</td><td>reading the parts of .xlsx packages</td></tr>"
             "<tr><td>LibreOffice</td><td>MPL-2.0</td><td>.xls, .xlt, .ods and .ots workbooks; "
             "run as a separate program through UNO</td></tr>"
             "<tr><td>CLI11</td><td>BSD-3-Clause</td><td>the command line quillory-cli "
             "only</td></tr>"
             "</table>")
      .arg(version.toHtmlEscaped(), kHomePage.toHtmlEscaped());
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Quillory Help"));
  setSizeGripEnabled(true);

  auto* help = new QTextBrowser(this);
  help->setObjectName(QStringLiteral("HelpText"));
  help->setOpenExternalLinks(true);
  help->setMarkdown(HelpText());
  auto* about = new QTextBrowser(this);
  about->setObjectName(QStringLiteral("AboutText"));
  about->setOpenExternalLinks(true);
  about->setHtml(AboutText());

  tabs_ = new QTabWidget(this);
  tabs_->addTab(help, QStringLiteral("&Help"));
  tabs_->addTab(about, QStringLiteral("&About"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);

  const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
  QSize size(56 * em, 40 * em);
  if (const QScreen* screen = this->screen()) {
    size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
  }
  resize(size);
}

void HelpWindow::ShowAbout() {
  tabs_->setCurrentIndex(1);
}

void HelpWindow::ShowHelp() {
  tabs_->setCurrentIndex(0);
}

}  // namespace quillory::ui
