// Persisted properties and text forms: writing, reading back, references, events,
// stored-conditions, defaults, obsolete keys and the errors a bad form gives.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "velmysql/rtl/formstream.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql {
namespace {

enum TDriverKind { dtDirect, dtEmbedded, dtLibrary };
enum TServerOption { coCompress, coInteractive, coTransactions, soAutoCreate };
using TServerOptions = TSet<TServerOption>;
enum TFieldKind { ftUnknown, ftString, ftInteger, ftFloat };

std::vector<std::string>* loadLog = nullptr;

class TDriver : public TPersistent {
public:
    TStringList& Options() { return options_; }
    const std::string& ClientDLL() const { return dll_; }
    void SetClientDLL(const std::string& v) { dll_ = v; }
    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info = TClassBuilder<TDriver>("TDriver", nullptr)
                                            .Strings("Options", [](TDriver& d) { return &d.options_; })
                                            .String("ClientDLL", &TDriver::ClientDLL, &TDriver::SetClientDLL, "")
                                            .Build();
        return info;
    }

private:
    TStringList options_;
    std::string dll_;
};

class TServer : public TComponent {
public:
    explicit TServer(TComponent* owner) : TComponent(owner) {}

    TDriverKind DriverKind() const { return kind_; }
    void SetDriverKind(TDriverKind k) { kind_ = k; }
    bool Connected() const { return connected_; }
    void SetConnected(bool v) {
        // While a form is read a true is only remembered; Loaded applies it.
        if (ComponentState().Contains(csLoading))
            streamedConnected_ = v;
        else
            connected_ = v;
    }
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& v) { host_ = v; }
    uint16_t Port() const { return port_; }
    void SetPort(uint16_t v) { port_ = v; }
    const std::string& DatabaseName() const { return database_; }
    void SetDatabaseName(const std::string& v) { database_ = v; }
    TStringList& Params() { return params_; }
    void SetParams(const TStrings& lines) {
        paramsSetterCalls++;
        params_.Assign(lines);
    }
    TServerOptions Options() const { return options_; }
    void SetOptions(TServerOptions o) { options_ = o; }
    bool Compression() const { return options_.Contains(coCompress); }
    void SetCompression(bool v) {
        if (v) options_.Include(coCompress); else options_.Exclude(coCompress);
    }
    double Ratio() const { return ratio_; }
    void SetRatio(double v) { ratio_ = v; }
    std::string ClientVersion() const { return "5.0.0"; }
    const TNotifyEvent& AfterConnect() const { return afterConnect_; }
    void SetAfterConnect(TNotifyEvent e) { afterConnect_ = std::move(e); }
    TDriver* Driver() { return &driver_; }

    int loadedCalls = 0;
    int paramsSetterCalls = 0;
    std::vector<std::string> obsolete;

    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info =
            TClassBuilder<TServer>("TServer", &TComponent::ClassInfo())
                .String("ClientVersion", &TServer::ClientVersion, nullptr)
                .Enum<TDriverKind>("DriverKind", &TServer::DriverKind, &TServer::SetDriverKind,
                                   {"dtDirect", "dtEmbedded", "dtLibrary"}, dtDirect)
                .Object("DriverProperties", &TServer::Driver)
                .Boolean("Connected", &TServer::Connected, &TServer::SetConnected, false)
                .String("DatabaseName", &TServer::DatabaseName, &TServer::SetDatabaseName, "")
                .String("Host", &TServer::Host, &TServer::SetHost)
                .Integer<uint16_t>("Port", &TServer::Port, &TServer::SetPort, 3306)
                .Strings("Params", [](TServer& s) { return &s.params_; }, &TServer::SetParams)
                // Stored only when Options does not already say it.
                .Boolean("Compression", &TServer::Compression, &TServer::SetCompression, false)
                .Stored([](const TServer&) { return false; })
                .Set<TServerOption>("Options", &TServer::Options, &TServer::SetOptions,
                                    {"coCompress", "coInteractive", "coTransactions", "soAutoCreate"},
                                    TServerOptions{coInteractive, coTransactions})
                .Float("Ratio", &TServer::Ratio, &TServer::SetRatio, 1.0)
                .Event<TNotifyEvent>("AfterConnect", &TServer::AfterConnect, &TServer::SetAfterConnect)
                .Obsolete("Intervals", [](TServer& s, const TFormValue& v) {
                    s.obsolete.push_back(std::to_string(v.Integer));
                })
                .Build();
        return info;
    }

protected:
    void Loaded() override {
        TComponent::Loaded();
        loadedCalls++;
        if (loadLog) loadLog->push_back(Name());
        if (streamedConnected_) connected_ = true;
    }

private:
    TDriverKind kind_ = dtDirect;
    bool connected_ = false, streamedConnected_ = false;
    std::string host_ = "localhost", database_;
    uint16_t port_ = 3306;
    TStringList params_;
    TServerOptions options_{coInteractive, coTransactions};
    double ratio_ = 1.0;
    TNotifyEvent afterConnect_;
    TDriver driver_;
};

class TFieldDef : public TCollectionItem {
public:
    std::string name;
    TFieldKind kind = ftUnknown;
    int size = 0;
    bool required = false;
    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info =
            TClassBuilder<TFieldDef>("TFieldDef", &TCollectionItem::ClassInfo())
                .String("Name", [](const TFieldDef& f) { return f.name; }, [](TFieldDef& f, const std::string& v) { f.name = v; })
                .Enum<TFieldKind>("DataType", [](const TFieldDef& f) { return f.kind; },
                                  [](TFieldDef& f, TFieldKind k) { f.kind = k; },
                                  {"ftUnknown", "ftString", "ftInteger", "ftFloat"}, ftUnknown)
                .Integer<int>("Size", [](const TFieldDef& f) { return f.size; }, [](TFieldDef& f, int v) { f.size = v; }, 0)
                .Boolean("Required", [](const TFieldDef& f) { return f.required; },
                         [](TFieldDef& f, bool v) { f.required = v; }, false)
                .Build();
        return info;
    }
};

class TFieldDefs : public TCollection {
public:
    TFieldDefs() : TCollection([] { return std::make_unique<TFieldDef>(); }) {}
    TFieldDef* Item(int i) const { return static_cast<TFieldDef*>(Items(i)); }
};

class TDataSource;

class TDataset : public TComponent {
public:
    explicit TDataset(TComponent* owner) : TComponent(owner) {}
    TServer* Server() const { return server_; }
    void SetServer(TServer* s) {
        server_ = s;
        if (s) s->FreeNotification(this);
    }
    TDataSource* MasterSource() const { return master_; }
    void SetMasterSource(TDataSource* d);
    const std::string& DatabaseName() const { return database_; }
    void SetDatabaseName(const std::string& v) { database_ = v; }
    TStringList& SQL() { return sql_; }
    TFieldDefs& FieldDefs() { return defs_; }
    int loadedCalls = 0;
    bool referencesSetBeforeLoaded = false;

    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info =
            TClassBuilder<TDataset>("TDataset", &TComponent::ClassInfo())
                .Component<TServer>("Server", &TDataset::Server, &TDataset::SetServer)
                .Component<TDataSource>("MasterSource", &TDataset::MasterSource, &TDataset::SetMasterSource)
                // Not written while it only repeats the server's database.
                .String("DatabaseName", &TDataset::DatabaseName, &TDataset::SetDatabaseName, "")
                .Stored([](const TDataset& d) { return !d.server_ || d.database_ != d.server_->DatabaseName(); })
                .Strings("SQL", [](TDataset& d) { return &d.sql_; })
                .Collection("FieldDefs", [](TDataset& d) { return &d.defs_; })
                .Obsolete("RequestLive")  // accepted and ignored
                .Build();
        return info;
    }

protected:
    void Notification(TComponent* c, TOperation op) override;
    void Loaded() override {
        TComponent::Loaded();
        loadedCalls++;
        if (loadLog) loadLog->push_back(Name());
        referencesSetBeforeLoaded = server_ != nullptr;
    }

private:
    TServer* server_ = nullptr;
    TDataSource* master_ = nullptr;
    std::string database_;
    TStringList sql_;
    TFieldDefs defs_;
};

class TDataSource : public TComponent {
public:
    explicit TDataSource(TComponent* owner) : TComponent(owner) {}
    TDataset* DataSet() const { return dataset_; }
    void SetDataSet(TDataset* d) {
        dataset_ = d;
        if (d) d->FreeNotification(this);
    }
    int loadedCalls = 0;
    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info = TClassBuilder<TDataSource>("TDataSource", &TComponent::ClassInfo())
                                            .Component<TDataset>("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
                                            .Build();
        return info;
    }

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == opRemove && c == dataset_) dataset_ = nullptr;
    }
    void Loaded() override {
        TComponent::Loaded();
        loadedCalls++;
        if (loadLog) loadLog->push_back(Name());
    }

private:
    TDataset* dataset_ = nullptr;
};

void TDataset::SetMasterSource(TDataSource* d) {
    master_ = d;
    if (d) d->FreeNotification(this);
}

void TDataset::Notification(TComponent* c, TOperation op) {
    TComponent::Notification(c, op);
    if (op != opRemove) return;
    if (c == server_) server_ = nullptr;
    if (c == master_) master_ = nullptr;
}

class TModule : public TComponent {
public:
    explicit TModule(TComponent* owner) : TComponent(owner) {}
    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info = TClassBuilder<TModule>("TModule", &TComponent::ClassInfo()).Build();
        return info;
    }
};

class FormStream : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterClass<TModule>();
        RegisterClass<TServer>();
        RegisterClass<TDataset>();
        RegisterClass<TDataSource>();
        TFieldDef::ClassInfo();
        TDriver::ClassInfo();
    }

    // A module with a server, two datasets (the second a detail of the first through a
    // data source) and the data source.
    static std::unique_ptr<TModule> BuildModule() {
        auto m = std::make_unique<TModule>(nullptr);
        m->SetName("Module1");
        auto* server = OwnedComponent<TServer>(*m);
        server->SetName("Server1");
        server->SetHost("db.example.com");
        server->SetPort(3307);
        server->SetDatabaseName("shop");
        server->SetOptions({coInteractive, coCompress});
        server->Params().SetText("[client]\r\nuser=app\r\n");
        server->Driver()->Options().Add("connect_timeout=5");
        server->SetRatio(0.25);
        server->SetTag(7);
        auto* customers = OwnedComponent<TDataset>(*m);
        customers->SetName("Customers");
        customers->SetServer(server);
        customers->SetDatabaseName("shop");  // same as the server's: not stored
        customers->SQL().Add("select * from customers");
        customers->SQL().Add("where name <> 'O''Brien'");
        auto* source = OwnedComponent<TDataSource>(*m);
        source->SetName("CustomerSource");
        source->SetDataSet(customers);
        auto* orders = OwnedComponent<TDataset>(*m);
        orders->SetName("Orders");
        orders->SetServer(server);
        orders->SetMasterSource(source);
        orders->SetDatabaseName("archive");
        auto* id = static_cast<TFieldDef*>(orders->FieldDefs().Add());
        id->name = "id";
        id->kind = ftInteger;
        id->required = true;
        auto* note = static_cast<TFieldDef*>(orders->FieldDefs().Add());
        note->name = "note";
        note->kind = ftString;
        note->size = 200;
        return m;
    }
};

const char* kModuleText =
    "object Module1: TModule\n"
    "  object Server1: TServer\n"
    "    Tag = 7\n"
    "    DriverProperties.Options.Strings = (\n"
    "      'connect_timeout=5')\n"
    "    DatabaseName = 'shop'\n"
    "    Host = 'db.example.com'\n"
    "    Port = 3307\n"
    "    Params.Strings = (\n"
    "      '[client]'\n"
    "      'user=app')\n"
    "    Options = [coCompress, coInteractive]\n"
    "    Ratio = 0.25\n"
    "  end\n"
    "  object Customers: TDataset\n"
    "    Server = Server1\n"
    "    SQL.Strings = (\n"
    "      'select * from customers'\n"
    "      'where name <> ''O''''Brien''')\n"
    "  end\n"
    "  object CustomerSource: TDataSource\n"
    "    DataSet = Customers\n"
    "  end\n"
    "  object Orders: TDataset\n"
    "    Server = Server1\n"
    "    MasterSource = CustomerSource\n"
    "    DatabaseName = 'archive'\n"
    "    FieldDefs = <\n"
    "      item\n"
    "        Name = 'id'\n"
    "        DataType = ftInteger\n"
    "        Required = True\n"
    "      end\n"
    "      item\n"
    "        Name = 'note'\n"
    "        DataType = ftString\n"
    "        Size = 200\n"
    "      end>\n"
    "  end\n"
    "end\n";

TEST_F(FormStream, WriterStoresOnlyStoredPropertiesThatDifferFromDefaults) {
    auto m = BuildModule();
    // Left out: Connected, DriverKind and Compression (defaults or not stored), the
    // read-only ClientVersion, and Customers' DatabaseName that repeats the server's.
    EXPECT_EQ(WriteComponentText(*m), kModuleText);
}

TEST_F(FormStream, ReadingGivesBackTheModuleAndAnEqualForm) {
    std::vector<std::string> log;
    loadLog = &log;
    std::unique_ptr<TComponent> root = ReadComponentText(kModuleText);
    loadLog = nullptr;
    auto* m = dynamic_cast<TModule*>(root.get());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Name(), "Module1");
    ASSERT_EQ(m->ComponentCount(), 4);
    auto* server = dynamic_cast<TServer*>(m->FindComponent("Server1"));
    auto* customers = dynamic_cast<TDataset*>(m->FindComponent("Customers"));
    auto* source = dynamic_cast<TDataSource*>(m->FindComponent("CustomerSource"));
    auto* orders = dynamic_cast<TDataset*>(m->FindComponent("Orders"));
    ASSERT_TRUE(server && customers && source && orders);
    EXPECT_EQ(server->Host(), "db.example.com");
    EXPECT_EQ(server->Port(), 3307);
    EXPECT_EQ(server->Tag(), 7);
    EXPECT_EQ(server->Options(), (TServerOptions{coInteractive, coCompress}));
    EXPECT_EQ(server->Params().Text(), "[client]\r\nuser=app\r\n");
    EXPECT_EQ(server->paramsSetterCalls, 1);  // the list went through the setter
    EXPECT_EQ(server->Driver()->Options().Text(), "connect_timeout=5\r\n");
    EXPECT_DOUBLE_EQ(server->Ratio(), 0.25);
    EXPECT_EQ(customers->SQL()[1], "where name <> 'O''Brien'");
    EXPECT_EQ(customers->Server(), server);
    EXPECT_EQ(source->DataSet(), customers);
    EXPECT_EQ(orders->MasterSource(), source);
    ASSERT_EQ(orders->FieldDefs().Count(), 2);
    EXPECT_EQ(orders->FieldDefs().Item(1)->name, "note");
    EXPECT_EQ(orders->FieldDefs().Item(1)->size, 200);
    EXPECT_TRUE(orders->FieldDefs().Item(0)->required);
    // Loaded once each, in reading order, with references already set.
    EXPECT_EQ(log, (std::vector<std::string>{"Server1", "Customers", "CustomerSource", "Orders"}));
    EXPECT_EQ(server->loadedCalls, 1);
    EXPECT_EQ(customers->loadedCalls, 1);
    EXPECT_EQ(orders->loadedCalls, 1);
    EXPECT_EQ(source->loadedCalls, 1);
    EXPECT_TRUE(orders->referencesSetBeforeLoaded);
    for (int i = 0; i < m->ComponentCount(); ++i)
        EXPECT_FALSE(m->Components(i)->ComponentState().Contains(csLoading));
    EXPECT_EQ(WriteComponentText(*m), kModuleText);
}

TEST_F(FormStream, ReferenceToALaterComponentAndLoadingStateDuringRead) {
    // Connected = True is only remembered while loading and applied by Loaded; the
    // dataset names a server that comes after it in the form.
    const char* text =
        "object M: TModule\n"
        "  object D: TDataset\n"
        "    Server = S\n"
        "    RequestLive = True\n"
        "  end\n"
        "  object S: TServer\n"
        "    Host = 'h'\n"
        "    Connected = True\n"
        "    Intervals = 100\n"
        "  end\n"
        "end\n";
    auto root = ReadComponentText(text);
    auto* s = dynamic_cast<TServer*>(root->FindComponent("S"));
    auto* d = dynamic_cast<TDataset*>(root->FindComponent("D"));
    ASSERT_TRUE(s && d);
    EXPECT_EQ(d->Server(), s);
    EXPECT_TRUE(s->Connected());
    EXPECT_EQ(s->obsolete, std::vector<std::string>{"100"});  // the obsolete key was read
    // ... and is not written again.
    std::string again = WriteComponentText(*root);
    EXPECT_EQ(again.find("Intervals"), std::string::npos);
    EXPECT_EQ(again.find("RequestLive"), std::string::npos);
}

TEST_F(FormStream, EventsAreBoundByHandlerNameAndWrittenBack) {
    int calls = 0;
    TReadOptions options;
    options.Resolver = [&](const std::string& name, std::type_index type) -> std::any {
        if (name == "ServerAfterConnect" && type == typeid(TNotifyEvent))
            return TNotifyEvent([&](TObject*) { calls++; });
        return {};
    };
    const char* text =
        "object S: TServer\n"
        "  Host = 'h'\n"
        "  AfterConnect = ServerAfterConnect\n"
        "end\n";
    auto root = ReadComponentText(text, options);
    auto* s = dynamic_cast<TServer*>(root.get());
    ASSERT_TRUE(s->AfterConnect());
    s->AfterConnect()(s);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(WriteComponentText(*s), text);
    // A handler bound in code has no name and is not written.
    s->SetEventHandlerName("AfterConnect", "");
    EXPECT_EQ(WriteComponentText(*s).find("AfterConnect"), std::string::npos);
}

TEST_F(FormStream, StringsWithQuotesControlAndHighBytesRoundTrip) {
    TServer s(nullptr);
    s.SetName("S");
    std::string odd = std::string("it's\r\n\t") + '\0' + "\xC3\xA9" + "end";
    s.SetHost(odd);
    s.SetDatabaseName("");
    std::string text = WriteComponentText(s);
    EXPECT_NE(text.find("Host = 'it''s'#13#10#9#0#195#169'end'"), std::string::npos) << text;
    auto back = ReadComponentText(text);
    EXPECT_EQ(dynamic_cast<TServer*>(back.get())->Host(), odd);
    // Parts joined with + across lines read as one string, as do #N codes alone.
    auto joined = ReadComponentText("object S: TServer\n  Host = 'ab' +\n    'cd'#33\n  DatabaseName = #65#66\nend\n");
    EXPECT_EQ(dynamic_cast<TServer*>(joined.get())->Host(), "abcd!");
    EXPECT_EQ(dynamic_cast<TServer*>(joined.get())->DatabaseName(), "AB");
}

TEST_F(FormStream, BadFormsNameThePropertyAndLine) {
    struct Case {
        const char* text;
        const char* expected;  // part of the message
        int line;
    };
    std::vector<Case> cases = {
        {"object S: TServer\n  Host = 'h'\n  Hots = 'x'\nend\n", "S.Hots: Property Hots does not exist", 3},
        {"object S: TServer\n  DriverProperties.Bogus.Strings = ()\nend\n", "Property Bogus does not exist", 2},
        {"object S: TServer\n\n  DriverKind = dtNone\nend\n", "S.DriverKind: Invalid property value dtNone", 3},
        {"object S: TServer\n  Options = [coCompress, coNope]\nend\n", "Invalid property value coNope", 2},
        {"object S: TServer\n  Port = 70000\nend\n", "S.Port: Value 70000 out of range", 2},
        {"object S: TServer\n  Port = '3306'\nend\n", "S.Port: Invalid property value '3306'", 2},
        {"object S: TServer\n  Connected = Yes\nend\n", "Invalid property value Yes", 2},
        {"object S: TServer\n  ClientVersion = '1'\nend\n", "Property ClientVersion is read-only", 2},
        {"object S: TServer\n  AfterConnect = Missing\nend\n", "S.AfterConnect: Handler Missing not found", 2},
        {"object M: TModule\n  object D: TDataset\n    Server = Nobody\n  end\nend\n",
         "D.Server: component Nobody not found", 3},
        {"object M: TModule\n  object X: TDataSource\n  end\n  object D: TDataset\n    Server = X\n  end\nend\n",
         "TDataSource cannot be assigned to Server", 5},
        {"object M: TModule\n  object D: TNoSuchClass\n  end\nend\n", "Class TNoSuchClass not found", 2},
        {"object M: TModule\n  object D: TDataset\n  end\n  object d: TDataSource\n  end\nend\n",
         "A component named d already exists", 4},
        {"object S: TServer\n  Host = 'open\nend\n", "Unterminated string", 2},
        {"object S: TServer\n  Host = 'h'\n", "'end' expected", 3},
        {"object S: TServer\n  Host 'h'\nend\n", "'=' expected", 2},
        {"object S: TServer\nend\nend\n", "Text after the end of the form", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ReadComponentText(c.text);
            ADD_FAILURE() << "no error";
        } catch (const EFormError& e) {
            EXPECT_NE(e.Message().find(c.expected), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("line " + std::to_string(c.line)), std::string::npos) << e.Message();
            EXPECT_EQ(e.Line(), c.line);
        }
    }
}

TEST_F(FormStream, ReadingIntoAnExistingRootReusesNamedComponents) {
    TModule m(nullptr);
    m.SetName("M");
    auto* s = OwnedComponent<TServer>(m);
    s->SetName("S");
    ReadComponentTextInto(m, "object M: TModule\n  object S: TServer\n    Host = 'x'\n  end\nend\n");
    EXPECT_EQ(m.ComponentCount(), 1);
    EXPECT_EQ(s->Host(), "x");
    EXPECT_EQ(s->loadedCalls, 1);
    EXPECT_THROW(ReadComponentTextInto(m, "object S: TServer\nend\n"), EFormError);  // class mismatch
}

TEST_F(FormStream, FreedReferencedComponentIsNotWritten) {
    auto m = BuildModule();
    delete m->FindComponent("CustomerSource");
    auto* orders = dynamic_cast<TDataset*>(m->FindComponent("Orders"));
    EXPECT_EQ(orders->MasterSource(), nullptr);
    EXPECT_EQ(WriteComponentText(*m).find("MasterSource"), std::string::npos);
}

TEST_F(FormStream, RegistryFindsClassesWithoutLetterCase) {
    EXPECT_EQ(FindClass("tserver"), &TServer::ClassInfo());
    EXPECT_EQ(FindClass("TUnknown"), nullptr);
    EXPECT_THROW(GetClass("TUnknown"), EPropertyError);
    EXPECT_TRUE(TServer::ClassInfo().InheritsFrom(&TComponent::ClassInfo()));
    EXPECT_EQ(TServer::ClassInfo().Properties().front()->Name, "Tag");  // inherited first
    TServer s(nullptr);
    EXPECT_EQ(s.ClassName(), "TServer");
    // A class without a description cannot be written.
    TComponent plain(nullptr);
    struct TUndescribed : TComponent {
        using TComponent::TComponent;
    } undescribed(nullptr);
    EXPECT_THROW(WriteComponentText(undescribed), EPropertyError);
}

}  // namespace
}  // namespace velmysql
