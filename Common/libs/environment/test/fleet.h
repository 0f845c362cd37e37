// A small class tree declared the way the tool declares its servers.
#ifndef ENV_TEST_FLEET_H
#define ENV_TEST_FLEET_H

#include "XmlObjectList.h"

namespace Fleet {

class Machine : public Env::XmlObject {
    ENV_XML_OBJECT(Machine, Env::XmlObject)
    ENV_XML_ATTR(Env::String, Status, "")
};

class Guest : public Machine {
    ENV_XML_OBJECT(Guest, Machine)
    ENV_XML_ATTR(Env::String, Id, "")
    ENV_XML_ATTR(Env::String, RebootStatus, "")
    ENV_XML_ATTR(int, Timeout, 300)
public:
    Guest() = default;
    Guest(const Env::String& id, const Env::String& name) {
        SetId(id);
        SetName(name);
    }
};

class Host : public Machine {
    ENV_XML_OBJECT(Host, Machine)
    ENV_XML_ATTR(Env::String, Address, "")
    ENV_XML_ATTR(Env::String, Password, "")
    ENV_XML_ATTR(bool, MaintenanceMode, false)
    ENV_XML_ATTR(bool, Reboot, false)
    ENV_XML_CHILD(Env::XmlObjectList, Guests)
};

// A plain object as a child: written under its class's tag, found by its name.
class Rack : public Env::XmlObject {
    ENV_XML_OBJECT(Rack, Env::XmlObject)
    ENV_XML_CHILD(Guest, Spare)
};

// Fails to read when its name is "bad"; counts the live objects.
class Picky : public Env::XmlObject {
    ENV_XML_OBJECT(Picky, Env::XmlObject)
public:
    Picky() { ++s_live; }
    Picky(const Picky&) = delete;
    ~Picky() override { --s_live; }
    bool FromXml(const Env::XmlNode* node) override {
        return Env::XmlObject::FromXml(node) && GetName() != "bad";
    }
    static int s_live;
};

// Its "boom" attribute throws when written and cannot be set.
class Thrower : public Env::XmlObject {
    ENV_XML_OBJECT(Thrower, Env::XmlObject)
public:
    Env::String Boom() const;
};

} // namespace Fleet

#endif
