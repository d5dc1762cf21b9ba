// The Showsaver window: a list of the shows stored on one controller, buttons
// to list them and to save one to a show file, and a "Controllers" menu to
// pick the controller.
//
// The window calls the controller library (lumidrive.h) and the show-file
// library (showtape.h) but does not link them: the program links the real
// libraries, the tests link scripted stand-ins with the same interface.
//
// Thread safety: GUI classes; create and use them on the GUI thread only.
#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>

#include "devtypes.h"

class QHBoxLayout;
class QListWidget;
class QMenu;
class QPushButton;
class QVBoxLayout;

/// The form: builds the window's widgets and layouts and keeps each in a
/// member named after its object name. Declares no signals or slots.
class ShowsaverMainWindowBase : public QMainWindow {
    Q_OBJECT

public:
    /// Builds the list of shows on the left and the button column on the
    /// right. Without a name the object is named "ShowsaverMainWindowBase".
    explicit ShowsaverMainWindowBase(QWidget* parent = nullptr, const char* name = nullptr,
                                     Qt::WindowFlags fl = Qt::Window);
    ~ShowsaverMainWindowBase() override;

    QListWidget* m_fileBox;        ///< "m_fileBox": one item per show on the controller
    QPushButton* m_listButton;     ///< "m_listButton": "List Shows"
    QPushButton* m_extractButton;  ///< "m_extractButton": "Save Show"
    QPushButton* m_exitButton;     ///< "m_exitButton": "Exit"

protected:
    QHBoxLayout* Layout6;  ///< "Layout6": the list, then the button column
    QVBoxLayout* Layout5;  ///< "Layout5": the button column
};

/// One usable controller offered in the "Controllers" menu.
struct ControllerSlot {
    DevEntry entry;  ///< what openDevice gets: only deviceType and deviceNumber are set
    int menuId;      ///< id of the controller's item in the "Controllers" menu
};

/// The window: opens the first usable controller while it is constructed,
/// switches controllers from the "Controllers" menu, lists the open
/// controller's shows and copies one, header and frames, into a show file.
///
/// When no controller can be found, opened or closed it shows a "Fatal Error"
/// box and ends the process with exit status -1 (during construction, before
/// the window is shown). Errors while listing or saving are shown in a box
/// and the window goes on.
class ShowsaverMainWindow : public ShowsaverMainWindowBase {
    Q_OBJECT

public:
    /// At most this many controllers are offered in the "Controllers" menu.
    static constexpr int maxControllers = 10;
    /// Channel bytes a frame read from the controller may hold.
    static constexpr int channelBufferSize = 512;

    explicit ShowsaverMainWindow(QWidget* parent = nullptr, const char* name = nullptr,
                                 Qt::WindowFlags fl = Qt::Window);
    /// Closes the open controller.
    ~ShowsaverMainWindow() override;

signals:
    /// Progress for the status bar: msg for ms milliseconds.
    void statusBarMessage(const QString& msg, int ms);

public slots:
    /// Opens the controller whose "Controllers" menu item has this id.
    void controllerChanged(int id);
    /// Fills the list with the names of the shows on the open controller.
    void listFiles();
    /// Copies the show named by the list's current item into a show file
    /// chosen in a save dialog.
    void readShow();

private:
    void findControllers();
    [[noreturn]] void fatalControllerError();
    /// Copies the open controller's show showName into a new show file;
    /// true when the whole show was copied.
    bool copyShow(const std::u16string& showName);
    /// Shows a "Fatal Error" box with prefix followed by code in decimal.
    void showError(const char* prefix, DevReturn code);

    int m_deviceHandle;
    std::unique_ptr<ControllerSlot[]> m_controllers;
    int m_controllerCount;
    int m_currentMenuId;
    QMenu* m_controllerMenu;
    QMenu* m_fileMenu;
};
