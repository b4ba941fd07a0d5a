#pragma once

#include <QWidget>

// The Help window: four framed help texts and Close.  Close hides it where it
// is; closing it through its title bar unloads it (the instance goes, and the
// next Help makes a fresh one at the default place and size).
class frmhelp : public QWidget {
    Q_OBJECT

public:
    explicit frmhelp(QWidget *parent = nullptr);

    // Shows the window (restored, if the user minimised it) and brings it to the front.
    void present();

private:
    void Command1_Click();
};
