// Printing as the user meets it, checked on the PDF it writes (poppler's pdfinfo, pdftotext
// and pdftoppm read it back): the packet diagram of a known conversation over its pages with
// title, file line, footer and every packet line once; snapshots of the main window that stay
// between the margins; the question above 100 pages and Cancel in the status window; prints
// that cannot be written reaching the message seam; the preview's zoom and page stepping.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSpinBox>
#include <QToolButton>

#include "UiTestSupport.h"
#include "reports/PrintLayout.h"
#include "reports/StreamList.h"
#include "settings/WindowPlacement.h"
#include "ui/reporting/PreviewForm.h"
#include "ui/reporting/PrintDestinationBox.h"
#include "ui/reporting/PrintSelectionForm.h"
#include "ui/reporting/PrintSelectionForm2.h"
#include "ui/reporting/PrintStatusForm.h"
#include "ui/reporting/PrintableTools.h"
#include "ui/tools/ConversationTools.h"
#include "ui/tools/PacketVisualizer.h"
#include "ui/tools/SeravoToolboxForm.h"

namespace korvane::uitest {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The standard output of a poppler tool.
QString Poppler(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    ADD_FAILURE() << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
    return {};
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

QString PdfInfo(const QString& pdf, const QString& field) {
  const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(field), QRegularExpression::MultilineOption);
  return line.match(Poppler(QStringLiteral("pdfinfo"), {pdf})).captured(1).trimmed();
}

int PdfPages(const QString& pdf) { return PdfInfo(pdf, QStringLiteral("Pages")).toInt(); }

// The text of every page, in reading order.
QStringList PdfPageTexts(const QString& pdf) {
  QStringList pages = Poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                          .split(QLatin1Char('\f'));
  if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
  // pdftotext keeps ligatures ("ﬁ"): compare letters.
  for (QString& page : pages) page = page.normalized(QString::NormalizationForm_KC);
  return pages;
}

QImage PdfFirstPageImage(const QString& pdf, int dpi, const QString& prefix) {
  Poppler(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                       QStringLiteral("-singlefile"), pdf, prefix});
  return QImage(prefix + QStringLiteral(".png"));
}

// Chooses "PDF file" and the file in a print dialog's "Print To" box.
void PrintToPdf(TPrintDestinationBox& box, const QString& file) {
  box.PrinterBox()->setCurrentIndex(box.PrinterBox()->count() - 1);
  box.FileEdit()->setText(file);
}

class PrintingTest : public MainFormTest {
 protected:
  // The main window on a trace, with the conversation tools joined to printing.
  void Open(const QString& trace) {
    form = MakeForm(store);
    form->resize(1000, 700);
    form->show();
    form->OpenFile(trace);
    ASSERT_TRUE(form->FileLoaded());
    tools = std::make_unique<ConversationTools>(*form, store);
    JoinPrinting(*form, *tools);
  }
  // The first conversation of a scenario in the toolbox.
  void OpenConversation(const std::vector<tools::ScenarioFrame>& frames) {
    Open(WriteScenario(dir, QStringLiteral("conv"), frames, "sniffer", false));
    const auto list = BuildStreamList(form->Session());
    ASSERT_FALSE(list.empty());
    tools->Toolbox().ShowForTexts(list.front().source, list.front().destination, list.front().app);
    QCoreApplication::processEvents();
    ASSERT_GT(Diagram().Drawing().Lines.size(), 0u);
  }
  void TearDown() override {
    tools.reset();
    form.reset();
  }
  TPacketVisualizer& Diagram() const { return *tools->Toolbox().Visualizer(); }
  TPrintSelectionForm2& DiagramDialog() const { return *form->PrintDiagram(); }
  QString Pdf(const char* name) const { return dir.filePath(QString::fromLatin1(name) + QStringLiteral(".pdf")); }

  std::unique_ptr<TMainForm> form;
  std::unique_ptr<ConversationTools> tools;
};

// ---- the packet diagram over pages ----

struct DiagramCase {
  const char* name;
  bool decorated;     // file line, printed-on date and page numbers
  int first, last;    // 0: the last page
  friend void PrintTo(const DiagramCase& c, std::ostream* out) { *out << c.name; }
};

class DiagramPrintTest : public PrintingTest, public ::testing::WithParamInterface<DiagramCase> {};

// The frame numbers of the packet lines on a page of pdftotext's layout.
std::vector<int64_t> PacketNumbers(const QString& page, const std::vector<VisualiserLine>& lines) {
  std::vector<int64_t> numbers;
  static const QRegularExpression packet(QStringLiteral("^\\s*(\\d+)\\s+(\\S.*)$"));
  for (const QString& line : page.split(QLatin1Char('\n'))) {
    const auto m = packet.match(line);
    if (!m.hasMatch()) continue;
    const int64_t number = m.captured(1).toLongLong();
    const auto it = std::find_if(lines.begin(), lines.end(), [&](const VisualiserLine& l) { return l.FrameNumber == number; });
    // The detail text after the bar identifies a packet line (a ruler label is not one).
    if (it != lines.end() && m.captured(2).startsWith(Q(it->Detail).left(12))) numbers.push_back(number);
  }
  return numbers;
}

TEST_P(DiagramPrintTest, PagesCarryTheirDecorationAndEveryPacketOnce) {
  const DiagramCase& c = GetParam();
  OpenConversation(tools::TcpConversationScenario(400));
  const QString pdf = Pdf(c.name);
  int64_t count = 0;
  int first = 0, last = 0;
  answer = [&](QDialog& dialog) {
    auto* print = qobject_cast<TPrintSelectionForm2*>(&dialog);
    if (!print) return int(QDialog::Rejected);
    count = print->PageCount();
    first = c.first;
    last = c.last ? c.last : int(count);
    EXPECT_EQ(print->PrintLastPage()->value(), count);
    print->SetToday([] { return QDate(2026, 12, 9); });
    for (QCheckBox* box : {print->IncludeFileNameCheckBox(), print->IncludePrintedOnDateCheckBox(),
                           print->IncludePageNumberCheckBox()})
      box->setChecked(c.decorated);
    print->PrintFirstPage()->setValue(first);
    print->PrintLastPage()->setValue(last);
    PrintToPdf(*print->Destination(), pdf);
    EXPECT_TRUE(print->PrintClick());
    return print->result();
  };
  tools->Toolbox().PrintAction()->trigger();
  ASSERT_EQ(dialogs, std::vector<QString>{QStringLiteral("korvane::TPrintSelectionForm2")});
  ASSERT_GE(count, 4) << "the conversation should need several pages";
  EXPECT_TRUE(messages.messages.empty());
  ASSERT_EQ(PdfPages(pdf), last - first + 1);
  EXPECT_EQ(PdfInfo(pdf, QStringLiteral("Title")), Q(std::string(kDiagramDefaultTitle)));

  const QStringList texts = PdfPageTexts(pdf);
  ASSERT_EQ(texts.size(), last - first + 1);
  // The first printed page as the paper shows it, for a person to look at.
  QDir().mkpath(QStringLiteral(KORVANE_UI_SHOTS));
  EXPECT_FALSE(PdfFirstPageImage(pdf, 60, QStringLiteral(KORVANE_UI_SHOTS "/Print-Diagram-%1").arg(c.name)).isNull());
  const auto& lines = Diagram().Drawing().Lines;
  const TraceFileInfo& info = form->Session().info;
  // A page holds as many lines as its rows' area allows, less two (the line pitch counts
  // the pause above each packet).
  const QSizeF paper = form->PrintTarget().PaperInches();
  const PixelSize rows =
      DiagramRowsPixels(LayDiagramPage(paper.width(), paper.height(), form->Printing()), Diagram().logicalDpiY());
  const int64_t pitch = Diagram().LineTop(1) - Diagram().LineTop(0);
  const int64_t perPage = (rows.height - Diagram().HeaderHeight()) / pitch - 2;
  std::vector<int64_t> printed;
  for (int i = 0; i < texts.size(); ++i) {
    const QString& text = texts[i];
    const int page = first + i;
    EXPECT_TRUE(text.contains(Q(std::string(kDiagramDefaultTitle)))) << page;
    EXPECT_EQ(text.contains(Q(AnalyzerName(info)) + " file " + Q(info.CurrentFileName) + " dated "), c.decorated);
    EXPECT_EQ(text.contains("Printed on Wednesday December 9, 2026"), c.decorated) << page;
    EXPECT_EQ(text.contains(QRegularExpression(QStringLiteral("Page %1\\s*$").arg(page))), c.decorated) << page;
    const std::vector<int64_t> numbers = PacketNumbers(text, lines);
    ASSERT_FALSE(numbers.empty()) << page;
    if (page < count) {
      EXPECT_GE(int64_t(numbers.size()), perPage) << page;
    }
    printed.insert(printed.end(), numbers.begin(), numbers.end());
  }
  // The pages follow each other without a packet lost or printed twice: the first and last
  // packet lines of each page meet those of its neighbours.
  auto at = std::find_if(lines.begin(), lines.end(), [&](const VisualiserLine& l) { return l.FrameNumber == printed.front(); });
  ASSERT_NE(at, lines.end());
  if (first == 1) {
    EXPECT_EQ(at, lines.begin());
  }
  for (int64_t number : printed) {
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(number, at->FrameNumber);
    ++at;
  }
  if (last == count) {
    EXPECT_EQ(at, lines.end());
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, DiagramPrintTest,
                         ::testing::Values(DiagramCase{"Whole", true, 1, 0}, DiagramCase{"MiddleBare", false, 2, 3},
                                           DiagramCase{"OnePage", true, 3, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintingTest, ALongPrintAsksFirstAndCancelStopsAfterThePage) {
  // An idle hour at 1 ms ticks: thousands of pages of ruler.
  OpenConversation(tools::TcpConversationScenario(40, 20, 3600e6));
  TPrintSelectionForm2& print = DiagramDialog();
  print.Prepare(Diagram());
  ASSERT_GT(print.PageCount(), 101);
  const QString pdf = Pdf("long");
  PrintToPdf(*print.Destination(), pdf);
  print.PrintLastPage()->setValue(101);
  messages.answer = MessageAnswer::Cancel;
  EXPECT_FALSE(print.PrintClick());
  EXPECT_EQ(Shown(), std::vector<std::string>{"Print|You are about to print 101 pages."});
  EXPECT_EQ(messages.messages.front().buttons, MessageButtons::OkCancel);
  EXPECT_FALSE(QFile::exists(pdf));

  // 100 pages go without asking; Cancel while page 2 prints ends the print after it.
  messages.messages.clear();
  print.PrintLastPage()->setValue(100);
  TPrintStatusForm& status = form->PrintTarget().Status();
  std::vector<int64_t> started;
  const auto connection = QObject::connect(&status, &TPrintStatusForm::PageStarted, &status, [&](int64_t page) {
    started.push_back(page);
    if (page == 2) status.CancelButton()->click();
  });
  EXPECT_TRUE(print.PrintClick());
  QObject::disconnect(connection);
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(started, (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(PdfPages(pdf), 2);
  EXPECT_FALSE(status.isVisible());
}

TEST_F(PrintingTest, ApplyLaysThePagesOutForTheNewMargins) {
  OpenConversation(tools::TcpConversationScenario(400));
  TPrintSelectionForm2& print = DiagramDialog();
  form->Printing().TopMargin = 9.0;  // beyond the dialog: shown at its limit
  print.Prepare(Diagram());
  EXPECT_DOUBLE_EQ(print.Margin(kTopMargin)->value(), margin_limits::kDiagramHighest);
  const int64_t before = print.PageCount();
  EXPECT_FALSE(print.ApplyButton()->isEnabled());
  print.Margin(kBottomMargin)->stepDown();  // 0.05 less
  EXPECT_DOUBLE_EQ(print.Margin(kBottomMargin)->value(), 0.95);
  for (int i = 0; i < 30; ++i) print.Margin(kTopMargin)->stepDown();
  EXPECT_DOUBLE_EQ(print.Margin(kTopMargin)->value(), 1.0);
  EXPECT_TRUE(print.ApplyButton()->isEnabled());
  EXPECT_EQ(print.PageCount(), before);
  print.ApplyClick();
  EXPECT_LT(print.PageCount(), before);  // more room for rows
  EXPECT_EQ(print.PrintLastPage()->value(), print.PageCount());
  EXPECT_DOUBLE_EQ(form->Printing().BottomMargin, 0.95);
  print.show();
  SaveShot(print, QStringLiteral("Print-PacketVisualizer"));
  print.hide();
}

// ---- the preview ----

TEST_F(PrintingTest, PreviewZoomsAndStepsThroughThePages) {
  OpenConversation(tools::TcpConversationScenario(400));
  TPrintSelectionForm2& print = DiagramDialog();
  print.Prepare(Diagram());
  print.PrintFirstPage()->setValue(2);
  answer = [&](QDialog& dialog) {
    auto* preview = qobject_cast<TPreviewForm*>(&dialog);
    if (!preview) return int(QDialog::Rejected);
    preview->resize(700, 800);
    preview->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(preview->Page(), 2);  // from the first page of the range
    preview->ZoomToFit();
    const QSize view = preview->findChild<QScrollArea*>()->viewport()->size();
    EXPECT_LE(preview->PageImage().width(), view.width() - 40 + 1);
    EXPECT_LE(preview->PageImage().height(), view.height() - 40 + 1);
    EXPECT_TRUE(preview->PageImage().width() >= view.width() - 41 || preview->PageImage().height() >= view.height() - 41);
    SaveShot(*preview, QStringLiteral("Print-Preview"));
    const QSizeF paper = form->PrintTarget().PaperInches() * Diagram().logicalDpiY();
    preview->ActualSize();
    EXPECT_NEAR(preview->PageImage().width(), paper.width(), 1);
    EXPECT_NEAR(preview->PageImage().height(), paper.height(), 1);
    preview->ZoomIn();
    EXPECT_DOUBLE_EQ(preview->Zoom(), 1.2);
    preview->ZoomOut();
    preview->ZoomOut();
    EXPECT_DOUBLE_EQ(preview->Zoom(), 0.8);
    for (int i = 0; i < 12; ++i) preview->ZoomIn();
    EXPECT_DOUBLE_EQ(preview->Zoom(), 2.0);
    EXPECT_FALSE(preview->Button(3)->isEnabled());
    for (int i = 0; i < 12; ++i) preview->ZoomOut();
    EXPECT_DOUBLE_EQ(preview->Zoom(), 0.2);
    preview->PageWidth();
    EXPECT_GT(preview->PageImage().width(), view.width() - 80);
    EXPECT_LE(preview->PageImage().width(), view.width());
    preview->PreviousPage();
    EXPECT_EQ(preview->Page(), 1);
    EXPECT_FALSE(preview->BackButton()->isEnabled());
    for (int i = 0; i < 100; ++i) preview->NextPage();
    EXPECT_EQ(preview->Page(), print.PageCount());
    EXPECT_FALSE(preview->ForwardButton()->isEnabled());
    EXPECT_EQ(preview->PageLabel()->text(), QStringLiteral("Page %1 of %1").arg(print.PageCount()));
    preview->accept();  // "&Close"
    return preview->result();
  };
  print.PreviewClick();
  ASSERT_EQ(dialogs, std::vector<QString>{QStringLiteral("korvane::TPreviewForm")});
  // The preview keeps its placement.
  const auto placement = WindowPlacement::Load(store, "PreviewForm");
  ASSERT_TRUE(placement.has_value());
  EXPECT_EQ(placement->Width, 700);
}

// ---- snapshots ----

struct SnapshotCase {
  const char* name;
  PrintScaling scaling;
  double margin;
  friend void PrintTo(const SnapshotCase& c, std::ostream* out) { *out << c.name; }
};

class SnapshotPrintTest : public PrintingTest, public ::testing::WithParamInterface<SnapshotCase> {};

TEST_P(SnapshotPrintTest, TheMainWindowStaysBetweenTheMargins) {
  const SnapshotCase& c = GetParam();
  Open(DemoTrace());
  const QString pdf = Pdf(c.name);
  answer = [&](QDialog& dialog) {
    auto* print = qobject_cast<TPrintSelectionForm*>(&dialog);
    if (!print) return int(QDialog::Rejected);
    print->Box(PrintableWindow::MainWindow)->setChecked(true);
    for (MarginSide side : {kLeftMargin, kRightMargin, kTopMargin, kBottomMargin}) print->Margin(side)->setValue(c.margin);
    (c.scaling == PrintScaling::Proportional ? print->ProportionalButton() : print->ToFitButton())->setChecked(true);
    PrintToPdf(*print->Destination(), pdf);
    EXPECT_TRUE(print->OkClick());
    return print->result();
  };
  form->PrintAction()->trigger();
  ASSERT_EQ(dialogs, std::vector<QString>{QStringLiteral("korvane::TPrintSelectionForm")});
  EXPECT_TRUE(messages.messages.empty());
  ASSERT_EQ(PdfPages(pdf), 1);
  EXPECT_EQ(PdfInfo(pdf, QStringLiteral("Title")), Q(std::string(kSnapshotJobTitle)));
  EXPECT_TRUE(PdfPageTexts(pdf).value(0).contains(Q(SnapshotHeaderText(form->Session().info))));
  EXPECT_EQ(form->Printing().Scaling, c.scaling);

  // The picture on the page: everything below the header line lies between the margins,
  // and the window, wider than the paper, spans the printable width.
  constexpr int kDpi = 40;
  QDir().mkpath(QStringLiteral(KORVANE_UI_SHOTS));
  const QImage page = PdfFirstPageImage(pdf, kDpi, QStringLiteral(KORVANE_UI_SHOTS "/Print-Snapshot-%1").arg(c.name));
  ASSERT_FALSE(page.isNull());
  const int margin = int(c.margin * kDpi);
  QRect ink;
  for (int y = margin / 2 + kDpi / 4; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x)
      if (qGray(page.pixel(x, y)) < 250) ink |= QRect(x, y, 1, 1);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GE(ink.left(), margin - 1);
  EXPECT_GE(ink.top(), margin - 1);
  EXPECT_LE(ink.right(), page.width() - margin);
  EXPECT_LE(ink.bottom(), page.height() - margin);
  EXPECT_LE(ink.left(), margin + 1);
  EXPECT_GE(ink.right(), page.width() - margin - 2);
}

INSTANTIATE_TEST_SUITE_P(Scaling, SnapshotPrintTest,
                         ::testing::Values(SnapshotCase{"ProportionalTwoInch", PrintScaling::Proportional, 2.0},
                                           SnapshotCase{"ToFit", PrintScaling::ToFit, 1.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintingTest, OnlyWindowsOnScreenCanBeChosenAndEachGetsItsPage) {
  OpenConversation(tools::TcpConversationScenario(40));
  tools->Toolbox().hide();
  TPrintSelectionForm& print = *form->PrintSelection();
  form->Printing().LeftMargin = 9.0;
  print.Prepare();
  EXPECT_DOUBLE_EQ(print.Margin(kLeftMargin)->value(), margin_limits::kSnapshotHighest);
  EXPECT_TRUE(print.Box(PrintableWindow::MainWindow)->isEnabled());
  EXPECT_FALSE(print.Box(PrintableWindow::PacketVisualizer)->isEnabled());
  EXPECT_FALSE(print.ShowButton(PrintableWindow::PacketVisualizer)->isEnabled());
  EXPECT_FALSE(print.Box(PrintableWindow::StationStatistics)->isEnabled());  // no window joined yet
  EXPECT_FALSE(print.OkButton()->isEnabled());
  print.Box(PrintableWindow::PacketVisualizer)->setChecked(true);
  EXPECT_FALSE(print.OkButton()->isEnabled());  // checked, but not on screen
  tools->Toolbox().show();
  print.Prepare();
  EXPECT_TRUE(print.Box(PrintableWindow::PacketVisualizer)->isEnabled());
  EXPECT_TRUE(print.OkButton()->isEnabled());
  print.Box(PrintableWindow::MainWindow)->setChecked(true);
  print.Margin(kLeftMargin)->stepUp();
  EXPECT_DOUBLE_EQ(print.Margin(kLeftMargin)->value(), 2.0);
  print.Margin(kLeftMargin)->stepDown();
  EXPECT_DOUBLE_EQ(print.Margin(kLeftMargin)->value(), 1.9);
  const QString pdf = Pdf("two-windows");
  PrintToPdf(*print.Destination(), pdf);
  print.show();
  SaveShot(print, QStringLiteral("Print-Selection"));
  EXPECT_TRUE(print.OkClick());
  EXPECT_EQ(PdfPages(pdf), 2);  // one page per window, in one file
  EXPECT_DOUBLE_EQ(form->Printing().LeftMargin, 1.9);
}

// ---- prints that cannot be made ----

struct FailureCase {
  const char* name;
  bool diagram;      // the packet diagram's dialog, else the snapshot dialog
  const char* printer;  // a printer that is not set up, else a PDF file in a missing folder
  friend void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }
};

class FailedPrintTest : public PrintingTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedPrintTest, IsSaidAndNeverTakenForDone) {
  const FailureCase& c = GetParam();
  OpenConversation(tools::TcpConversationScenario(40));
  const QString pdf = dir.filePath(QStringLiteral("no-such-folder/out.pdf"));
  const PrintDestination to{c.printer ? QString::fromLatin1(c.printer) : QString(), pdf};
  bool printed = true;
  QDialog* dialog = nullptr;
  form->PrintTarget().Destination() = to;
  if (c.diagram) {
    TPrintSelectionForm2& print = DiagramDialog();
    print.Prepare(Diagram());
    printed = print.PrintClick();
    dialog = &print;
  } else {
    TPrintSelectionForm& print = *form->PrintSelection();
    print.Prepare();
    print.Box(PrintableWindow::MainWindow)->setChecked(true);
    printed = print.OkClick();
    dialog = &print;
  }
  EXPECT_FALSE(printed);
  EXPECT_NE(dialog->result(), QDialog::Accepted);
  ASSERT_EQ(messages.messages.size(), 1u);
  const auto& m = messages.messages.front();
  EXPECT_EQ(m.title, "Print");
  EXPECT_EQ(m.icon, MessageIcon::Exclamation);
  EXPECT_TRUE(m.text.contains(c.printer ? QString::fromLatin1(c.printer) : pdf)) << m.text.toStdString();
  EXPECT_FALSE(QFile::exists(pdf));
  EXPECT_FALSE(form->PrintTarget().Status().isVisible());
  // The choice is kept for the next try.
  EXPECT_EQ(form->PrintTarget().Destination().pdfFile, pdf);
}

INSTANTIATE_TEST_SUITE_P(Targets, FailedPrintTest,
                         ::testing::Values(FailureCase{"DiagramToMissingFolder", true, nullptr},
                                           FailureCase{"SnapshotToMissingFolder", false, nullptr},
                                           FailureCase{"SnapshotToAbsentPrinter", false, "Nowhere Laser"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintingTest, StatusWindowSaysWhichPageGoesOut) {
  TPrintStatusForm status;
  status.Start(12);
  status.SetPage(3);
  status.SetPage(4);
  EXPECT_EQ(status.PageLabel()->text(), QStringLiteral("Page 4 (2 of 12)"));
  EXPECT_FALSE(status.Cancelled());
  SaveShot(status, QStringLiteral("Print-Status"));
  status.CancelButton()->click();
  EXPECT_TRUE(status.Cancelled());
  status.Finish();
}

}  // namespace
}  // namespace korvane::uitest
