#pragma once

#include "editor/setupcontext.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPushButton;
class QTabWidget;
class QTimer;

namespace quillon::editor {

class CameraPage;
class MotionPage;
class NetworkPage;
class SensorPage;
class SetupPage;
class SmsPage;
class SystemPage;
class UsersPage;
class VideoPage;

// The setup window of one visit. Creation sets the language and prepares the work folder and
// the pages; show loads the pages from the local copies in a fixed order; Apply checks and
// saves them; OK also uploads the settings files and tells the server to apply them; Cancel
// and the close box leave the server untouched.
class TSysSetForm : public QDialog
{
    Q_OBJECT

public:
    explicit TSysSetForm(QWidget *parent = nullptr);
    // A window on the files of another folder than the per-user work folder, laid out as the
    // work folder is (the nine files side by side).
    explicit TSysSetForm(const QString &workFolder, QWidget *parent = nullptr);
    ~TSysSetForm() override;

    SetupContext &context() { return m_context; }

    // What OK's upload came to. Conflict: the server's files changed since they were
    // downloaded, and the text asks whether to replace them. A failure without a text is the
    // operator's own choice to keep the window open: there is nothing more to say.
    struct UploadResult
    {
        enum class Kind { Done, Failed, Conflict };
        Kind kind = Kind::Done;
        QString text;
    };
    // What OK does once Apply has saved: uploads the files and has the server apply them.
    // replaceNewerSettings: the operator chose to replace settings applied by someone else since
    // the downloads. Without it OK only saves.
    using Upload = std::function<UploadResult(bool replaceNewerSettings)>;
    void setUpload(Upload upload) { m_upload = std::move(upload); }

    // Sets every text of the window in the current language.
    void setTexts();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildFrame();
    void buildPages();
    void wireControls();
    void ApplyBitBtnClick();
    void BitBtn1Click();
    void CnRadioBtnClick();
    void FormCreate();
    void FormShow();
    void FormClose();
    void PageControl1Change(int index);
    void DelayTimerTimer();
    void SelectChnTabSetChange(int index);
    void AlarmChnTabSetChange(int index);
    void SensorChnTabSetChange(int index);
    void switchShownIndex(
        int index, int &shown, const PendingCopy &copy, const std::function<void()> &reload);
    // The change rule: a change enables Apply unless a page is loading. The first serves
    // the settings the server holds once, the second those of the shown channel or sensor.
    void chkCancelSensortableClick();
    void CIFRadioBtnClick();
    void showPage(PageIndex page, std::optional<VideoInnerPage> innerPage);
    QWidget *addPage(const char *name);

    SetupContext m_context;
    QString m_givenWorkFolder; // empty: the per-user work folder
    Upload m_upload;
    bool m_shown = false;

    QTabWidget *PageControl1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *ApplyBitBtn = nullptr;
    QTimer *ChangeShapeTimer = nullptr;
    QTimer *DelayTimer = nullptr;

    std::unique_ptr<SystemPage> m_systemPage;
    std::unique_ptr<UsersPage> m_usersPage;
    std::unique_ptr<VideoPage> m_videoPage;
    std::unique_ptr<MotionPage> m_motionPage;
    std::unique_ptr<SensorPage> m_sensorPage;
    std::unique_ptr<CameraPage> m_cameraPage;
    std::unique_ptr<NetworkPage> m_networkPage;
    std::unique_ptr<SmsPage> m_smsPage;
};

} // namespace quillon::editor
