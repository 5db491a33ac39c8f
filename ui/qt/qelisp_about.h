#pragma once
// The about box: the program's icon, the firmware's model and version under
// the one-line description, and the maker's notice; laid out from the Windows
// dialog template.
#include <QDialog>

class QelIspAbout : public QDialog {
    Q_OBJECT

public:
    QelIspAbout(const QString& text, QWidget* parent = nullptr);
};
