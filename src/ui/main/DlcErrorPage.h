// The "DLC Error Expert" page. For an Ethernet trace the Ethernet panel: the frame error
// summary, the collision fragment analysis of the five stations most likely to be colliding
// with a gauge each, and the notes. For a Token Ring trace the Token Ring panel with its two
// sub-pages, "Ring Map Diagnostic" (the ring drawn in ring-poll order) and "Soft Error
// Summary" (the MAC soft-error reports with their drop-down lists). "Show Station by OUI"
// switches every station text of the page; the copy button copies the page's summary.
#pragma once
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "reports/DlcErrors.h"
#include "ui/main/TracePage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QToolButton;

namespace korvane {

class RingMapView;

class TDlcErrorPage : public TracePage {
  Q_OBJECT
 public:
  explicit TDlcErrorPage(QWidget* parent = nullptr);

  void ShowTrace(const TraceSession& session) override;
  void ClearTrace() override;
  QString CopyCaption() const override { return "&Copy"; }
  // The Ethernet summary, or on Token Ring the Soft Error Summary, as text.
  void Copy() override;
  QList<int> Tips() const override;

  // What the page shows, for the main window and the tests.
  bool ShowsEthernet() const;
  bool ShowsTokenRing() const;
  QString CopyText() const;
  const std::optional<EthernetErrors>& Ethernet() const { return ethernet_; }
  const std::optional<TokenRingErrors>& TokenRing() const { return tokenRing_; }

  // The controls, for the tests.
  QCheckBox& ShowByOuiBox() const { return *showByOui_; }
  QPushButton& CopyButton() const { return *copyButton_; }
  QWidget& EthernetPanel() const { return *ethernetPanel_; }
  QWidget& TokenRingPanel() const { return *tokenRingPanel_; }
  QTabWidget& TokenRingTabs() const { return *tokenRingTabs_; }
  RingMapView& RingMap() const { return *ringMap_; }
  QRadioButton& RingPollButton() const { return *ringPollButton_; }
  QRadioButton& StationErrorsButton() const { return *stationErrorsButton_; }
  QRadioButton& BurstErrorsButton() const { return *burstButton_; }
  QRadioButton& LineErrorsButton() const { return *lineButton_; }
  QToolButton& CopyGraphicButton() const { return *copyGraphicButton_; }
  QLineEdit& FrameErrorField(int item) const { return *frameErrorFields_[size_t(item)]; }
  struct CollisionControls {
    QLineEdit *source, *transmits, *retransmits;
    QProgressBar* gauge;
  };
  const CollisionControls& CollisionRowControls(int row) const { return collisionRows_[size_t(row)]; }
  QPlainTextEdit& EthernetNotes() const { return *ethernetNotes_; }
  struct SoftErrorControls {
    QLabel* label;
    QLineEdit *total, *stations;
    QComboBox* entries;
  };
  // In the order of the reports' rows.
  const SoftErrorControls& SoftErrorRowControls(int row) const { return softErrorRows_[size_t(row)]; }
  QPlainTextEdit& TokenRingNotes() const { return *tokenRingNotes_; }

 private:
  QWidget* BuildEthernetPanel(const EthernetErrors& blank);
  QWidget* BuildTokenRingPanel(const TokenRingErrors& blank);
  QWidget* BuildRingMapTab();
  QWidget* BuildSoftErrorTab(const TokenRingErrors& blank);
  void Rebuild();  // from the session, with the present "Show Station by OUI"
  void FillEthernet(const EthernetErrors& errors);
  void FillTokenRing(const TokenRingErrors& errors);
  void UpdateCopyButton();

  const TraceSession* session_ = nullptr;
  std::optional<EthernetErrors> ethernet_;
  std::optional<TokenRingErrors> tokenRing_;

  QCheckBox* showByOui_;
  QPushButton* copyButton_;
  QStackedWidget* panels_;
  QWidget* emptyPanel_;
  QWidget* ethernetPanel_;
  QWidget* tokenRingPanel_;
  std::array<QLineEdit*, 4> frameErrorFields_{};
  std::array<CollisionControls, 5> collisionRows_{};
  QPlainTextEdit* ethernetNotes_ = nullptr;
  QTabWidget* tokenRingTabs_ = nullptr;
  RingMapView* ringMap_ = nullptr;
  QRadioButton *ringPollButton_ = nullptr, *stationErrorsButton_ = nullptr;
  QRadioButton *burstButton_ = nullptr, *lineButton_ = nullptr;
  QToolButton* copyGraphicButton_ = nullptr;
  std::array<SoftErrorControls, kSoftErrorKindCount> softErrorRows_{};
  QPlainTextEdit* tokenRingNotes_ = nullptr;
};

}  // namespace korvane
