#pragma once

#include "suite_export.h"

#include <QLabel>

// The status line of a report form: after a save, where the file went, with links that
// open the file or its folder in the desktop's own programs.
class SUITE_TEST_EXPORT SavedNotice : public QLabel
{
    Q_OBJECT
public:
    explicit SavedNotice(QWidget *parent = nullptr);

    void showSaved(const QString &file);
    QString savedFile() const { return m_file; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void render();
    void open(const QString &link);

    QString m_file;
};
