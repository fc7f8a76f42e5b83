#pragma once
// A program folder ready for programming runs through the window: the real zip engine,
// the bootloader files, a ports folder that ARVEX_COM_PORTS names, and simulated
// terminals in it. The wizard is walked by clicking its buttons; a click on Next returns
// once the step's search or run has ended, as the step waits inside the click.
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "programming_support.h"
#include "reader_fixture.h"
#include "scoped_environment.h"
#include "window_fixture.h"

namespace testsupport {

class ProgrammingTest : public WindowTest {
  protected:
    void SetUp() override {
        InstallRequiredFiles();
        std::filesystem::copy_file(std::filesystem::path(BuildDir()) / "ZipEngine.so",
                                   folder.Path() + "ZipEngine.so",
                                   std::filesystem::copy_options::overwrite_existing);
        progtest::WriteBootloaders(folder.Path());
    }
    void TearDown() override {
        // The window lets go of its port before the terminals go away.
        form.reset();
        terminals.StopAll();
    }

    std::string PortPath(unsigned com) const { return ports + "/COM" + std::to_string(com); }
    void WritePackage(const std::string& name, const progtest::Firmware& firmware) {
        folder.Write("Data/" + name, progtest::PackageBytes(firmware));
    }

    // Start page → introduction → instructions → search. Returns with the search done.
    void ToSearchResult(std::vector<std::string> args = {}) {
        Start(std::move(args));
        Click("But_P1_UpdatePlantrix");
        Click("But_P3_Next");
        Click("But_P3_Next");
    }
    // ... → the confirmation of the newest firmware (service mode off).
    void ToConfirmation() {
        ToSearchResult();
        ASSERT_EQ(form->Step(), app::WizardStep::PlantrixMachineType)
            << Caption("Label_P3_Info");
        Click("But_P3_Next");
        ASSERT_EQ(form->Step(), app::WizardStep::PlantrixConfirmation)
            << Caption("Label_P3_Info");
    }
    // Next on the confirmation: the run; its result as the page shows it.
    std::string RunResult() {
        Click("But_P3_Next");
        return Caption("Label_P3_Info");
    }
    std::vector<std::string> Choices() const {
        std::vector<std::string> entries;
        const auto* box = Find<QComboBox>("ComboBox_P3");
        for (int i = 0; i < box->count(); ++i) entries.push_back(box->itemText(i).toStdString());
        return entries;
    }
    // Chooses an entry of the selection list as the user does, firing its change event.
    void Choose(int index) {
        auto* box = Find<QComboBox>("ComboBox_P3");
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    std::string ports = folder.Path() + "ports";
    ScopedEnvironment portsVariable{"ARVEX_COM_PORTS", ports};
    progtest::Terminals terminals{ports};
};

}  // namespace testsupport
