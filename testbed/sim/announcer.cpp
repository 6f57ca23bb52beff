#include "testbed/sim/announcer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>

namespace kavrel::sim {

struct Announcer::Impl {
  std::string name;
  std::vector<AnnouncedService> services;
  AvahiThreadedPoll* poll = nullptr;
  AvahiClient* client = nullptr;
  AvahiEntryGroup* group = nullptr;

  // On the poll's thread (or under its lock): add every service and commit them.
  void publish(AvahiClient* c) {
    if (group == nullptr) group = avahi_entry_group_new(c, groupChanged, this);
    if (group == nullptr || !avahi_entry_group_is_empty(group)) return;
    for (const AnnouncedService& s : services) {
      AvahiStringList* txt = nullptr;
      for (const std::string& record : s.txt) txt = avahi_string_list_add(txt, record.c_str());
      const int rc = avahi_entry_group_add_service_strlst(group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                          AvahiPublishFlags{}, name.c_str(), s.type.c_str(), nullptr,
                                                          nullptr, static_cast<std::uint16_t>(s.port), txt);
      avahi_string_list_free(txt);
      if (rc == AVAHI_ERR_COLLISION) return rename();
      if (rc < 0) return;
    }
    avahi_entry_group_commit(group);
  }

  // Another instrument has the name: take the next one ("... #2") and publish again.
  void rename() {
    char* alternative = avahi_alternative_service_name(name.c_str());
    name = alternative;
    avahi_free(alternative);
    if (group != nullptr) avahi_entry_group_reset(group);
    publish(avahi_entry_group_get_client(group));
  }

  static void groupChanged(AvahiEntryGroup*, AvahiEntryGroupState state, void* self) {
    if (state == AVAHI_ENTRY_GROUP_COLLISION) static_cast<Impl*>(self)->rename();
  }

  static void clientChanged(AvahiClient* c, AvahiClientState state, void* data) {
    auto* self = static_cast<Impl*>(data);
    switch (state) {
      case AVAHI_CLIENT_S_RUNNING: self->publish(c); break;
      case AVAHI_CLIENT_S_COLLISION:
      case AVAHI_CLIENT_S_REGISTERING:  // the host name changes: publish again once running
        if (self->group != nullptr) avahi_entry_group_reset(self->group);
        break;
      default: break;
    }
  }
};

Announcer::Announcer(std::string name, std::vector<AnnouncedService> services) : impl_(std::make_unique<Impl>()) {
  impl_->name = std::move(name);
  impl_->services = std::move(services);
}

Announcer::~Announcer() { stop(); }

bool Announcer::start(std::string* error) {
  Impl& s = *impl_;
  s.poll = avahi_threaded_poll_new();
  if (s.poll == nullptr) {
    if (error) *error = "cannot start the mDNS announcement";
    return false;
  }
  int rc = 0;
  s.client = avahi_client_new(avahi_threaded_poll_get(s.poll), AvahiClientFlags{}, Impl::clientChanged, &s, &rc);
  if (s.client == nullptr) {
    if (error) *error = std::string("cannot reach the Avahi daemon for the mDNS announcement: ") + avahi_strerror(rc);
    stop();
    return false;
  }
  avahi_threaded_poll_start(s.poll);
  return true;
}

void Announcer::stop() {
  Impl& s = *impl_;
  if (s.poll != nullptr) avahi_threaded_poll_stop(s.poll);
  if (s.client != nullptr) avahi_client_free(s.client);  // frees the group too
  if (s.poll != nullptr) avahi_threaded_poll_free(s.poll);
  s.client = nullptr;
  s.group = nullptr;
  s.poll = nullptr;
}

}  // namespace kavrel::sim
