#pragma once

#include "create/CreateCommand.h"
#include "register/SiteFiles.h"

#include <QWidget>

class QIcon;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tk {

class SortedComboBox;

// The icon of the window and of the application, in every size we ship.
QIcon programIcon();

// The program's one window: the instructions, the student's details, Create
// and Quit. It holds the loaded site for the life of the process.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(const SiteData& site);

    // Fills the lists, shows the window and puts the operator in the
    // given-name box, ready to type.
    void start();

    StudentInputs currentInputs() const;
    bool programEnded() const { return m_programEnded; }

public slots:
    // Create may be pressed only once both names are typed and a year and a
    // class are chosen.
    void UpdateCreateButton();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindowFrame();
    void buildControls();
    void buildInstructions();
    void buildNameRow();
    void buildChoiceRow();
    void buildBottomRow();
    void setUpAccessibility();
    void setUpTabOrder();
    void fitCaptionsToFont();
    void connectInputRule();
    void runCreate();
    void endProgram();

    SiteData m_site;
    bool m_programEnded = false;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    SortedComboBox* Combo1 = nullptr;
    SortedComboBox* Combo2 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};

} // namespace tk
