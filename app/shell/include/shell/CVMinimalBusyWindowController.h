#pragma once

#include <QDialog>
#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;

namespace shell {

// The small progress sheet of long imports and exports: a bar (style 0) or a busy indicator,
// a line saying what is being done, and Cancel. Progress may be set from any thread; the bar
// changes on the main thread only. The running job asks cancelled() and stops.
class CVMinimalBusyWindowController : public QDialog {
    Q_OBJECT
  public:
    explicit CVMinimalBusyWindowController(QWidget* parent = nullptr, int style = 0);

    int style() const { return style_; }
    double currentProgress() const { return currentProgress_; }
    double maxProgress() const { return maxProgress_; }
    // Thread-safe; the bar stays indeterminate until both values are greater than 0.
    void setCurrentProgress(double value);
    void setMaxProgress(double value);
    void setMessage(const QString& text);
    bool cancelled() const { return cancelled_; }
    QProgressBar* progressIndicator() const { return progress_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    // Attaches itself as a window-modal sheet on its parent window.
    void beginSheet();
    // Closes and deletes itself.
    void endSheet();

  public slots:
    void cancel();

  signals:
    void cancelRequested();

  protected:
    void reject() override;  // Escape cancels the job rather than hiding the sheet

  private:
    void updateIndicator();

    int style_;
    std::atomic<double> currentProgress_{0};
    std::atomic<double> maxProgress_{0};
    std::atomic<bool> cancelled_{false};
    QProgressBar* progress_;
    QLabel* message_;
    QPushButton* cancelButton_;
};

}  // namespace shell
