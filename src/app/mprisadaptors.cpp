#include "app/mprisadaptors.h"

#include "app/mpris.h"

namespace kyro {

#ifndef KYRO_SONG_MIME_TYPES
#error "KYRO_SONG_MIME_TYPES (the menu entry's MimeType list) must be defined by the build"
#endif

MprisRootAdaptor::MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

QStringList MprisRootAdaptor::SupportedMimeTypes() const {
    return QString::fromLatin1(KYRO_SONG_MIME_TYPES).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

void MprisRootAdaptor::Raise() { service_->Raise(); }

void MprisRootAdaptor::Quit() { service_->Quit(); }

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

QVariant MprisPlayerAdaptor::Property(const char* name) const {
    return service_->PlayerProperties().value(QString::fromLatin1(name));
}

QString MprisPlayerAdaptor::PlaybackStatus() const { return Property("PlaybackStatus").toString(); }
QVariantMap MprisPlayerAdaptor::Metadata() const { return Property("Metadata").toMap(); }
bool MprisPlayerAdaptor::CanGoNext() const { return Property("CanGoNext").toBool(); }
bool MprisPlayerAdaptor::CanGoPrevious() const { return Property("CanGoPrevious").toBool(); }
bool MprisPlayerAdaptor::CanPlay() const { return Property("CanPlay").toBool(); }
bool MprisPlayerAdaptor::CanPause() const { return Property("CanPause").toBool(); }
qlonglong MprisPlayerAdaptor::Position() const { return service_->PositionUs(); }

void MprisPlayerAdaptor::Play() { service_->Press(MprisService::Button::Play); }
void MprisPlayerAdaptor::Pause() { service_->Press(MprisService::Button::Pause); }
void MprisPlayerAdaptor::PlayPause() { service_->Press(MprisService::Button::PlayPause); }
void MprisPlayerAdaptor::Stop() { service_->Press(MprisService::Button::Stop); }
void MprisPlayerAdaptor::Next() { service_->Press(MprisService::Button::Next); }
void MprisPlayerAdaptor::Previous() { service_->Press(MprisService::Button::Previous); }
void MprisPlayerAdaptor::OpenUri(const QString& uri) { service_->OpenUri(uri); }

}  // namespace kyro
