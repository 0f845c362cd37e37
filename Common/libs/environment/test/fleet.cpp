#include "fleet.h"

#include <stdexcept>

namespace Fleet {

ENV_XML_STRUCTURE_BEGIN(Machine)
ENV_XML_REGISTER_ATTR(Status)
ENV_XML_STRUCTURE_END

ENV_XML_STRUCTURE_BEGIN(Guest)
ENV_XML_REGISTER_ATTR(Timeout)
ENV_XML_REGISTER_ATTR(Id)
ENV_XML_REGISTER_ATTR(RebootStatus)
ENV_XML_STRUCTURE_END

// Password is declared but deliberately not registered: it is never written.
ENV_XML_STRUCTURE_BEGIN(Host)
ENV_XML_REGISTER_ATTR(Reboot)
ENV_XML_REGISTER_ATTR(MaintenanceMode)
ENV_XML_REGISTER_ATTR(Address)
ENV_XML_REGISTER_CHILD(Guests)
ENV_XML_STRUCTURE_END

ENV_XML_STRUCTURE_BEGIN(Rack)
ENV_XML_REGISTER_CHILD(Spare)
ENV_XML_STRUCTURE_END

ENV_XML_STRUCTURE_BEGIN(Picky)
ENV_XML_STRUCTURE_END

int Picky::s_live = 0;

ENV_XML_STRUCTURE_BEGIN(Thrower)
AddChild("Boom", new Env::XmlAttrInvoker<Thrower>(&Thrower::Boom, nullptr));
ENV_XML_STRUCTURE_END

Env::String Thrower::Boom() const {
    throw std::runtime_error("boom");
}

} // namespace Fleet
