// The product's own texts, shared by the resources and the contact command.
#pragma once

#define PRODUCT_NAME "Korvalin"
#define MAKER_NAME   "Korvalin Sound Works"
#define MAKER_NOTICE "Copyright (C) 2026 Korvalin Sound Works"
#define CONTACT_MAIL "korvalin@example.org"
#define MAKER_WEB    "http://korvalin.example.org"
