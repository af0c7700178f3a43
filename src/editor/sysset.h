#pragma once

#include <QDialog>

class QPushButton;

namespace quillon::editor {

// The setup window of one visit. Creation sets the language and prepares the work folder; OK
// uploads the settings files and tells the server to apply them; Cancel and the close box
// leave the server untouched.
class TSysSetForm : public QDialog
{
    Q_OBJECT

public:
    explicit TSysSetForm(QWidget *parent = nullptr);

    const QString &workFolder() const { return m_workFolder; }

private Q_SLOTS:
    void BitBtn1Click();

private:
    void FormCreate();
    void setTexts();

    QString m_workFolder;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *ApplyBitBtn = nullptr;
};

} // namespace quillon::editor
