#pragma once

// Owning handles for the xmlsec objects the XML signature code uses; those of libxml2 are in
// invoice/xmldocument.h.

#include "liberacon.h"
#include "xmldocument.h"

#include <xmlsec/keys.h>
#include <xmlsec/keysdata.h>
#include <xmlsec/xmldsig.h>

#include <memory>

namespace ondivo {

using ChiaveXmlSecPtr = std::unique_ptr<xmlSecKey, LiberaCon<xmlSecKeyDestroy>>;
using DatiChiaveXmlSecPtr = std::unique_ptr<xmlSecKeyData, LiberaCon<xmlSecKeyDataDestroy>>;
using ContestoFirmaXmlPtr = std::unique_ptr<xmlSecDSigCtx, LiberaCon<xmlSecDSigCtxDestroy>>;

} // namespace ondivo
