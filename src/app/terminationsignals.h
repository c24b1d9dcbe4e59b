#pragma once
// SIGTERM, SIGINT and SIGHUP (a session ending, Ctrl+C, a closed terminal) turned into a Qt signal
// on the user-interface thread, so that the program can end as BYE ends it instead of dying with
// its files unwritten.

#include <QObject>

class QSocketNotifier;

namespace kyro {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object at a time.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;  // puts the default handlers back

signals:
    void Received(int signalNumber);

private:
    void ReadPending();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kyro
