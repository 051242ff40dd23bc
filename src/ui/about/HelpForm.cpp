#include "ui/about/HelpForm.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/about/Product.h"

namespace korvane {

namespace {
const char* const kHelpHtml = R"(
<h2>%1 Help</h2>
<p><a href="#open">Opening a trace file</a> &middot; <a href="#summary">File Summary</a> &middot;
<a href="#cs">Client/Server Expert</a> &middot; <a href="#dlc">DLC Error Expert</a> &middot;
<a href="#charts">Charts</a> &middot; <a href="#table">Protocol Table</a> &middot;
<a href="#options">Options</a></p>

<h3><a name="open"></a>Opening a trace file</h3>
<p>Choose <b>File &gt; Open...</b> (Ctrl+O), pick a file from <b>File &gt; Reopen</b>, drop a file on the
main window, or name the file on the command line: <code>korvane FILE</code>. Korvane reads Ethernet and
Token Ring traces in 18 formats of other makers' LAN analysers; the Open dialog's <i>Files of
type</i> list names them.
While the file is read the progress window shows the packets read and the capture time they cover;
<b>Stop</b> ends the read early and keeps what was read (<i>FILE PARTIALLY READ</i>).</p>

<h3><a name="summary"></a>File Summary</h3>
<p>Media utilisation (average and peak, all frames or broadcast and multicast only), the file's
attributes, frame statistics by station, multicast and broadcast traffic, and the DLC encapsulations
seen. Utilisation is relative to the line speed; change it with <b>Options &gt; Default Bandwidth</b>
and <b>Options &gt; Full Duplex</b> without reading the file again.</p>

<h3><a name="cs"></a>Client/Server Expert</h3>
<p>Every client/server conversation with its measurements, rated against the ProblemFinder settings
(toolbar button <b>ProblemFinder(tm) Settings</b>). Sort on any column, select cells and copy them.</p>

<h3><a name="dlc"></a>DLC Error Expert</h3>
<p>For Ethernet: collisions, CRC errors, runts and oversized frames. For Token Ring: the ring map in
ring-poll order and the soft-error summary.</p>

<h3><a name="charts"></a>Frame Size Chart and Protocol Chart</h3>
<p>Frames by size band and by protocol. Right click a chart for its properties (pie or bar, percent
or packets, title, legend, values, gradient, 3D); the copy button puts the chart on the clipboard.</p>

<h3><a name="table"></a>Protocol Table</h3>
<p>One row per protocol with packet counts, shares, average size, broadcasts and encapsulations.
Select a column and use <b>Sort Ascending</b> or <b>Sort Descending</b>, or double click a column.</p>

<h3><a name="options"></a>Options</h3>
<p><b>Server Ports</b> names UDP/TCP server ports that Korvane does not know; the names take effect
for the next file read. The Tip Wizard above the pages shows tips for the page in front; turn it
off with the light bulb and on again with <b>Help &gt; Show Tip Wizard</b>.</p>
)";
}  // namespace

THelpForm::THelpForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HelpForm"));
  setWindowTitle(product::Name() + QStringLiteral(" Help"));
  browser_ = new QTextBrowser(this);
  browser_->setHtml(QString::fromUtf8(kHelpHtml).arg(product::Name()));
  browser_->setOpenExternalLinks(false);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  resize(640, 560);
}

}  // namespace korvane
