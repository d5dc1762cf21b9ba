// Helpers shared by the Showsaver window tests: scripting attached
// controllers in the controller double, and answering the window's modal
// boxes and save dialog in place of a person.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "double_control.h"

class QAction;
class QEvent;
class QWidget;
class ShowsaverMainWindow;

namespace showsaver_test {

/// One controller the double's enumeration delivers.
struct Controller {
    int32_t type = 1;
    int32_t number = 0;
    int32_t classes = 0x04;
    std::u16string name;
    std::u16string port;
    bool usable = true;  ///< what supportsPlayBackConfig answers for it (if asked)
};

/// A usable controller named "Desk <n>" on port "port-<n>".
Controller desk(int n);

/// Scripts the enumeration (getFirstDevice, then getNextDevice for the rest)
/// and supportsPlayBackConfig's answers, in order.
void scriptControllers(const std::vector<Controller>& controllers);

/// Scripts the next openDevice to succeed with this handle.
void scriptOpenDevice(int32_t handle);

/// A DevFileEntry reply naming one stored show.
doubles::Reply fileEntry(const std::u16string& name, bool isDirectory = false);

/// A readFrame/readDMXFrame reply carrying one frame.
doubles::Reply frameReply(int32_t startCode, int32_t timeCode, std::vector<uint8_t> channels);

/// Builds the window on the scripted controllers, the first usable one being
/// opened with the given handle.
std::unique_ptr<ShowsaverMainWindow> makeWindow(const std::vector<Controller>& controllers,
                                                int32_t handle);

/// The items of the window's "Controllers" menu, in order.
QList<QAction*> controllerItems(const ShowsaverMainWindow& window);

/// UTF-16 text of a QString, for comparing with recorded arguments.
std::u16string u16(const QString& text);
/// QString of UTF-16 text, for readable failure messages.
QString qs(const std::u16string& text);
QString qs(const std::optional<std::u16string>& text);

/// Answers the message boxes and the save dialog that the window opens
/// while it is installed, as a person would: each box is accepted with its
/// default button, each save dialog gets the next scripted answer (a path
/// typed and accepted, or a cancel). Answers are given through a queued call
/// once the box or dialog is shown, so the window's own modal loop does the
/// work. A dialog with no answer scripted is cancelled and counted.
class ModalCatcher : public QObject {
    Q_OBJECT

public:
    struct Box {
        QString caption;
        QString text;
        QWidget* parent = nullptr;
        size_t callsBefore = 0;  ///< library calls recorded when the box was shown
    };
    struct Dialog {
        QString caption;
        QString directory;
        QStringList nameFilters;
        bool saveMode = false;
        QWidget* parent = nullptr;
        size_t callsBefore = 0;
    };

    ModalCatcher();
    ~ModalCatcher() override;

    /// The next save dialog selects this path and is accepted.
    void answerSave(const QString& path);
    /// The next save dialog is cancelled.
    void answerCancel();
    /// Called for every box when it is shown (after it is recorded).
    std::function<void(const Box&)> onBox;

    QList<Box> boxes;
    QList<Dialog> dialogs;
    int unexpectedDialogs = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<std::optional<QString>> m_answers;
};

}  // namespace showsaver_test
