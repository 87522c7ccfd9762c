#pragma once
// TCustomConnection: the framework's connection component. It runs the connect and
// disconnect sequences around the descendant's DoConnect/DoDisconnect, keeps the list of
// registered clients (and, among them, the datasets), and tells them when the
// connection comes or goes.

#include <functional>
#include <vector>

#include "velmysql/rtl/component.h"

namespace velmysql {

class TClassInfo;

class TDataSet;

// Called on a registered client when the connection it uses connects (Connecting true)
// or disconnects.
using TConnectChangeEvent = std::function<void(TObject* Sender, bool Connecting)>;

class TCustomConnection : public TComponent {
public:
    static const TClassInfo& ClassInfo();
    explicit TCustomConnection(TComponent* AOwner);
    ~TCustomConnection() override;

    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    bool Connected() { return GetConnected(); }
    // Connecting: BeforeConnect, DoConnect, the clients are told, AfterConnect.
    // Disconnecting: BeforeDisconnect, the clients are told, DoDisconnect,
    // AfterDisconnect. Nothing happens when the state does not change; a DoConnect that
    // returns without connecting ends the sequence there. While a form is
    // read, a stored true is only remembered; Loaded connects.
    virtual void SetConnected(bool Value);
    virtual bool GetConnected();

    bool LoginPrompt() const { return loginPrompt_; }
    void SetLoginPrompt(bool Value) { loginPrompt_ = Value; }
    bool StreamedConnected() const { return streamedConnected_; }

    // Registers Client (a dataset is also entered in the dataset list); Event, when
    // given, is called on connect and disconnect.
    virtual void RegisterClient(TObject* Client, TConnectChangeEvent Event = nullptr);
    virtual void UnRegisterClient(TObject* Client);
    int ClientCount() const { return static_cast<int>(clients_.size()); }
    TObject* Clients(int Index) const { return clients_[static_cast<size_t>(Index)].client; }
    TDataSet* GetDataSet(int Index) const { return dataSets_[static_cast<size_t>(Index)]; }
    int GetDataSetCount() const { return static_cast<int>(dataSets_.size()); }
    TDataSet* DataSets(int Index) const { return GetDataSet(Index); }
    int DataSetCount() const { return GetDataSetCount(); }

    TNotifyEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;

protected:
    virtual void DoConnect() {}
    virtual void DoDisconnect() {}
    // Tells every registered client of the new state: its event, and for a dataset a
    // connect-change data event.
    void SendConnectEvent(bool Connecting);
    void Loaded() override;
    // Called by Loaded for an error while connecting in a design tool, where it must not
    // escape. The base swallows it.
    virtual void HandleDesignException() {}

private:
    struct Client {
        TObject* client;
        TConnectChangeEvent event;
    };
    bool loginPrompt_ = false;
    bool streamedConnected_ = false;
    std::vector<Client> clients_;
    std::vector<TDataSet*> dataSets_;
};

}  // namespace velmysql
