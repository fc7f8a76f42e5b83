// Page 3's controls as the wizards and runs see them (app::WizardPage).
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/main_window.h"

namespace app {

namespace {
// Where the selection list stands in the selection steps.
constexpr int kChoicesTop = 120;

QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

void TForm1::SetupProgress(int steps) {
    if (steps == 0) {
        ProgressBar1->hide();
        Label_P3_Progress->hide();
        return;
    }
    ProgressBar1->setRange(0, steps);
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    const auto now = RunProgress::Clock::now();
    runProgress_.Start(steps, now);
    Label_P3_Progress->setText(Q(runProgress_.Line(now)));
    Label_P3_Progress->show();
}

void TForm1::StepProgress() {
    ProgressBar1->setValue(std::min(ProgressBar1->value() + 1, ProgressBar1->maximum()));
    runProgress_.Step();
    const QString line = Q(runProgress_.Line(RunProgress::Clock::now()));
    // Thousands of steps in a run: the label repaints only when its words change.
    if (line != Label_P3_Progress->text()) Label_P3_Progress->setText(line);
}

void TForm1::StartSearchAnimation() {
    AnimateDots = 0;
    TimerAnimate.SetEnabled(true);
}

void TForm1::StopSearchAnimation() { TimerAnimate.SetEnabled(false); }

void TForm1::SetHeadline(const std::string& text) { Label_P3_Headline->setText(Q(text)); }

void TForm1::ShowInfo(const std::string& text) { Label_P3_Info->setText(Q(text)); }

void TForm1::ShowPortLine(const std::string& text) {
    Label_P3_Port->setText(Q(text));
    Label_P3_Port->setVisible(!text.empty());
}

void TForm1::SetHeadline2(const std::string& text) { Label_P3_Headline2->setText(Q(text)); }

void TForm1::SetBaseline(const std::string& text) { Label_P3_Baseline->setText(Q(text)); }

void TForm1::ShowChoices(const std::vector<std::string>& entries, int selected) {
    ComboBox_P3->clear();
    for (const std::string& entry : entries) ComboBox_P3->addItem(Q(entry));
    ComboBox_P3->setCurrentIndex(selected);
    ComboBox_P3->move(ComboBox_P3->x(), kChoicesTop);
    ComboBox_P3->show();
}

void TForm1::HideChoices() { ComboBox_P3->hide(); }

int TForm1::ChosenIndex() const { return ComboBox_P3->currentIndex(); }

std::string TForm1::ChoiceAt(int index) const { return ComboBox_P3->itemText(index).toStdString(); }

void TForm1::ShowNext(bool shown) { But_P3_Next->setVisible(shown); }

void TForm1::ShowUpdateButton(bool shown) { But_P3_Update->setVisible(shown); }

void TForm1::SetCancel(const std::string& caption, bool enabled) {
    But_P3_Cancel->setText(Q(caption));
    But_P3_Cancel->setEnabled(enabled);
}

}  // namespace app
