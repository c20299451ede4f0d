#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include "ui/main/add_folder.h"

namespace add_folder = quillory::ui::add_folder;

class AddFolderTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir temp_;
  QString root_;  // without a trailing "/"

  void Touch(const QString& relative) {
    QFile file(root_ + QLatin1Char('/') + relative);
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  void MakeFolder(const QString& relative) { QVERIFY(QDir(root_).mkpath(relative)); }
  QStringList Under(const QStringList& relatives) const {
    QStringList paths;
    for (const QString& relative : relatives) paths.append(root_ + QLatin1Char('/') + relative);
    return paths;
  }

 private slots:
  void initTestCase() {
    QVERIFY(temp_.isValid());
    root_ = temp_.path() + QStringLiteral("/Root");
    for (const char* folder : {"A/A1", "B/B1", ".hidden", "sub.xls", "empty"}) MakeFolder(folder);
    for (const char* file :
         {"a.xls", "~$a.xls", "b.xlt", "c.txt", "Report~1.xls", ".h.xls", "D.XLSX", "e.xltm",
          "f.xlsb", "A/in_a.xls", "A/A1/in_a1.xlt", "B/in_b.XLS", "B/B1/in_b1.xlsm",
          ".hidden/x.xls", "g.ods", "h.OTS", "i.odsx", "~$g.ods", "A/in_a.ods"}) {
      Touch(QString::fromLatin1(file));
    }
    // A link back up the tree and a second way into A: neither may be entered again.
    QVERIFY(QFile::link(root_, root_ + QStringLiteral("/A/A1/loop")));
    QVERIFY(QFile::link(root_ + QStringLiteral("/A"), root_ + QStringLiteral("/B/toA")));
  }

  void foldersAreCollectedBreadthFirst() {
    QStringList folders = {root_ + QLatin1Char('/')};
    add_folder::CollectSubfolders(folders);
    QCOMPARE(folders, Under({"", "A/", "B/", "empty/", "sub.xls/", "A/A1/", "B/B1/"}));
  }

  void matchingIgnoresCaseAndTakesTheLongerExtensions() {
    QCOMPARE(add_folder::ListMatchingFiles(root_, QStringLiteral("*.xls")),
             QStringList({".h.xls", "a.xls", "D.XLSX", "Report~1.xls", "~$a.xls"}));
    QCOMPARE(add_folder::ListMatchingFiles(root_ + QLatin1Char('/'), QStringLiteral("*.xlt")),
             QStringList({"b.xlt", "e.xltm"}));
    // OpenDocument spreadsheets and templates, without longer extensions.
    QCOMPARE(add_folder::ListMatchingFiles(root_, QStringLiteral("*.ods")),
             QStringList({"g.ods", "~$g.ods"}));
    QCOMPARE(add_folder::ListMatchingFiles(root_, QStringLiteral("*.ots")), QStringList{"h.OTS"});
    QVERIFY(add_folder::ListMatchingFiles(root_ + QStringLiteral("/empty"), QStringLiteral("*.xls"))
                .isEmpty());
    QVERIFY(add_folder::ListMatchingFiles(root_ + QStringLiteral("/gone"), QStringLiteral("*.xls"))
                .isEmpty());
  }

  void scanAddsEachFoldersWorkbooksThenTemplates() {
    const QStringList expected =
        Under({".h.xls", "a.xls", "D.XLSX", "Report~1.xls", "b.xlt", "e.xltm", "g.ods", "h.OTS",
               "A/in_a.xls", "A/in_a.ods", "B/in_b.XLS", "A/A1/in_a1.xlt", "B/B1/in_b1.xlsm"});
    QCOMPARE(add_folder::Scan(root_), expected);
    QCOMPARE(add_folder::Scan(root_ + QLatin1Char('/')), expected);
  }

  void scansRunningTogetherKeepTheirOwnState() {
    const auto scan = [](const QString& folder) { return add_folder::Scan(folder); };
    QFuture<QStringList> first = QtConcurrent::run(scan, root_);
    QFuture<QStringList> second = QtConcurrent::run(scan, root_ + QStringLiteral("/B"));
    // From B the links lead into A and through the loop up to Root, each entered once.
    QCOMPARE(second.result(),
             Under({"B/in_b.XLS", "B/B1/in_b1.xlsm", "B/toA/in_a.xls", "B/toA/in_a.ods",
                    "B/toA/A1/in_a1.xlt", "B/toA/A1/loop/.h.xls", "B/toA/A1/loop/a.xls",
                    "B/toA/A1/loop/D.XLSX", "B/toA/A1/loop/Report~1.xls", "B/toA/A1/loop/b.xlt",
                    "B/toA/A1/loop/e.xltm", "B/toA/A1/loop/g.ods", "B/toA/A1/loop/h.OTS"}));
    QCOMPARE(first.result().size(), 13);
  }

  void emptyFolderAddsNothing() {
    QVERIFY(add_folder::Scan(root_ + QStringLiteral("/empty")).isEmpty());
  }
};

QTEST_GUILESS_MAIN(AddFolderTest)
#include "add_folder_test.moc"
