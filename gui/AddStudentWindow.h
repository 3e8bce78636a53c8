#pragma once

#include "enrol/Student.h"
#include "gui/UserDialogs.h"
#include "register/SiteFiles.h"

#include <memory>

#include <QWidget>

class QIcon;
class QLineEdit;
class QPushButton;

namespace tk {

class SortedComboBox;

// The icon of the window and of the application, in every size we ship.
QIcon programIcon();

// The program's one window: the instructions, the student's details, Create
// and Quit. It holds the loaded site for the life of the process.
class AddStudentWindow : public QWidget
{
    Q_OBJECT

public:
    // Messages go to `dialogs` when given (the tests' script), else to
    // message boxes over the window.
    explicit AddStudentWindow(const SiteData& site, UserDialogs* dialogs = nullptr);
    ~AddStudentWindow() override;

    // Fills the lists, shows the window and puts the operator in the
    // given-name box, ready to type.
    void start();

    StudentInputs currentInputs() const;
    bool programEnded() const { return m_programEnded; }

public slots:
    // Create may be pressed only once both names are typed and a year and a
    // class are chosen.
    void updateCreateButton();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindowFrame();
    void buildControls();
    void buildInstructions();
    void buildNameRow();
    void buildChoiceRow();
    void buildBottomRow();
    void setUpTabOrder();
    void fitCaptionsToFont();
    void connectInputRule();
    void runCreate();
    void endProgram();

    SiteData m_site;
    std::unique_ptr<UserDialogs> m_ownDialogs;
    UserDialogs* m_dialogs;
    bool m_programEnded = false;

    QLineEdit* m_surnameEdit = nullptr;
    QLineEdit* m_givenNameEdit = nullptr;
    QLineEdit* m_loginEdit = nullptr;
    SortedComboBox* m_yearCombo = nullptr;
    SortedComboBox* m_classCombo = nullptr;
    QPushButton* m_createButton = nullptr;
    QPushButton* m_quitButton = nullptr;
};

} // namespace tk
