// Where the graphics editor's Import commands get pictures from: a source
// of devices (scanners) that lists them, lets the user choose the default
// one and acquires a picture into a transfer file in the background. The
// graphics editor owns one and drives its File-menu items and the progress
// display from its signals; the program's scanner component implements it.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

class TKvImportSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether a picture can be acquired now: a device is attached and no
    // acquisition is running.
    virtual bool IsAvailable() const = 0;
    // An acquisition is running.
    virtual bool IsBusy() const = 0;
    // The names of the attached devices, for the user (the Import submenu).
    virtual QStringList SourceNames() const = 0;
    // Shows the dialog in which the user chooses the default device; true
    // when the user confirmed a choice.
    virtual bool SelectSource(QWidget* parent) = 0;
    // Starts acquiring from the default device, or from the named one. False
    // when nothing was started: busy, or no such device.
    virtual bool Acquire() = 0;
    virtual bool AcquireFrom(const QString& sourceName) = 0;
    // Stops the running acquisition; it then announces no picture.
    virtual void Cancel() = 0;

signals:
    // IsAvailable() changed.
    void AvailabilityChanged(bool available);
    // A search for devices ended; SourceNames() holds its result.
    void SourcesChanged();
    // Share of the running acquisition done, 0 to 100.
    void Progress(int percent);
    // An acquisition ended (finished, failed or cancelled); emitted before
    // ImageReady or AcquireFailed, so a progress display can go first.
    void AcquireFinished();
    // A picture was acquired completely and stored in the transfer file,
    // which the receiver opens and deletes.
    void ImageReady(const QString& transferFile);
    // An acquisition failed; nothing was stored. The message is for the user.
    void AcquireFailed(const QString& message);
};
