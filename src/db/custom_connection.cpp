#include "velmysql/db/custom_connection.h"

#include <algorithm>

#include "velmysql/db/dataset.h"

namespace velmysql {

TCustomConnection::TCustomConnection(TComponent* AOwner) : TComponent(AOwner) {}

TCustomConnection::~TCustomConnection() = default;

bool TCustomConnection::GetConnected() { return false; }

void TCustomConnection::SetConnected(bool Value) {
    if (ComponentState().Contains(csReading) || ComponentState().Contains(csLoading)) {
        if (Value) streamedConnected_ = true;
        return;
    }
    if (Value == GetConnected()) return;
    if (Value) {
        if (BeforeConnect) BeforeConnect(this);
        DoConnect();
        // A descendant may return without a connection and without an error (a login
        // prompt the user cancelled): nothing connected, so no client is told it did.
        if (!GetConnected()) return;
        SendConnectEvent(true);
        if (AfterConnect) AfterConnect(this);
    } else {
        if (BeforeDisconnect) BeforeDisconnect(this);
        SendConnectEvent(false);
        DoDisconnect();
        if (AfterDisconnect) AfterDisconnect(this);
    }
}

void TCustomConnection::Loaded() {
    TComponent::Loaded();
    const bool connect = streamedConnected_;
    streamedConnected_ = false;
    if (!connect) return;
    try {
        SetConnected(true);
    } catch (...) {
        if (!ComponentState().Contains(csDesigning)) throw;
        HandleDesignException();
    }
}

void TCustomConnection::RegisterClient(TObject* Client, TConnectChangeEvent Event) {
    if (auto* ds = dynamic_cast<TDataSet*>(Client)) dataSets_.push_back(ds);
    clients_.push_back({Client, std::move(Event)});
}

void TCustomConnection::UnRegisterClient(TObject* Client) {
    auto it = std::find_if(clients_.begin(), clients_.end(), [&](const auto& c) { return c.client == Client; });
    if (it != clients_.end()) clients_.erase(it);
    auto ds = std::find(dataSets_.begin(), dataSets_.end(), Client);
    if (ds != dataSets_.end()) dataSets_.erase(ds);
}

void TCustomConnection::SendConnectEvent(bool Connecting) {
    // A client's handler may unregister clients (a dataset closing may detach itself):
    // walk a snapshot and skip the clients that are gone, so no one is told twice or
    // skipped because the list moved under the loop.
    const std::vector<Client> snapshot = clients_;
    for (const Client& c : snapshot) {
        auto still = std::find_if(clients_.begin(), clients_.end(), [&](const auto& x) { return x.client == c.client; });
        if (still == clients_.end()) continue;
        if (c.event) c.event(this, Connecting);
        if (std::find_if(clients_.begin(), clients_.end(), [&](const auto& x) { return x.client == c.client; }) ==
            clients_.end())
            continue;
        if (auto* ds = dynamic_cast<TDataSet*>(c.client)) ds->DataEvent(deConnectChange, Connecting ? 1 : 0);
    }
}

}  // namespace velmysql
