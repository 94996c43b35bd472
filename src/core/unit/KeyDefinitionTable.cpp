#include "core/unit/KeyDefinitionTable.h"

#include <array>
#include <vector>

namespace {

struct KeyRow {
    uint16_t Id;
    uint8_t Type;
    const char16_t* Label;
    const char16_t* LabelSwedish;
};

// The rows in slot order; the slots after them stay empty.
constexpr KeyRow KEY_ROWS[] = {
    {1, 3, u"IP Address", u"IP adress"},
    {2, 3, u"Subnet Mask", u"Subnät Mask"},
    {3, 3, u"Gateway", u"Gateway"},
    {4, 1, u"Use DHCP", u"Använd DHCP"},
    {5, 100, u"MAC Address", u"MAC Adress"},
    {6, 1, u"Use IP", u"Använd IP"},
    {7, 3, u"NTP Server", u"NTP Server"},
    {8, 2, u"Timezone", u"Tidszon"},
    {9, 100, u"Current Time", u"Aktuell tid"},
    {10, 3, u"DNS Server", u"DNS Server"},
    {11, 2, u"DNS Type", u"DNS Type"},
    {20, 1, u"Use GPRS", u"Använd GPRS"},
    {21, 6, u"APN", u"APN"},
    {22, 0, u"Username", u"Användarnamn"},
    {23, 0, u"Password", u"Lösenord"},
    {24, 2, u"GPRS Type", u"GPRS Typ"},
    {25, 102, u"GPRS Status", u"GPRS Status"},
    {31, 102, u"Network Status", u"Nätverksstatus"},
    {26, 100, u"GSM Signal Strength", u"GSM Signalstyrka"},
    {27, 100, u"Modem Info", u"Modeminfo"},
    {28, 100, u"Network IP Address", u"Nätverks IP"},
    {29, 100, u"Last Error Message", u"Senaste felmeddelande"},
    {30, 108, u"Attach Retries", u"Anslutningsförsök"},
    {32, 1, u"GPRS Config Enabled", u"Konfigurering via GPRS tillåten"},
    {40, 4, u"Server Host (IP)", u"Serveradress (IP)"},
    {41, 4, u"Server Host (GPRS)", u"Serveradress (GPRS)"},
    {42, 8, u"Server IP Port", u"Server IP Port"},
    {43, 2, u"Socket Type", u"Sockettyp"},
    {44, 5, u"Timeout (IP)", u"Timeout (IP)"},
    {45, 5, u"Poll Frequency (IP)", u"Pollfrekvens (IP)"},
    {46, 5, u"Timeout (GPRS)", u"Timeout (GPRS)"},
    {47, 5, u"Poll Frequency (GPRS)", u"Pollfrekvens (GPRS)"},
    {48, 102, u"Connection Status", u"Anslutningsstatus"},
    {49, 100, u"Current Primary (IP) Server", u"Aktuell Primärserver (IP)"},
    {50, 100, u"Current Secondary (GPRS) Server", u"Aktuell GPRS-server (GPRS)"},
    {51, 105, u"Server (IP) Online Timer", u"Server (IP) Online Timer"},
    {52, 105, u"Server (GPRS) Online Timer", u"Server (GPRS) Online Timer"},
    {53, 100, u"Current Server Version", u"Aktuell Serverversion"},
    {54, 105, u"Server (IP) Poll Timer", u"Server (IP) Poll Timer"},
    {55, 105, u"Server (GPRS) Poll Timer", u"Server (GPRS) Poll Timer"},
    {56, 105, u"Server (GPRS) Minipoll Timer", u"Server (GPRS) Minipoll Timer"},
    {70, 1, u"Connect To Nebryn", u"Anslut Till Nebryn"},
    {71, 4, u"Custom Hosts", u"Egna Serveradresser"},
    {72, 8, u"Nebryn Port", u"Nebryn Port"},
    {118, 107, u"Nebryn Information", u"Nebryn Information"},
    {74, 102, u"Server Status", u"Serverstatus"},
    {100, 0, u"Unit Password", u"Lösenord för enheten"},
    {105, 107, u"Product Info", u"Produktinfo"},
    {102, 8, u"Card ID", u"Card ID"},
    {103, 1, u"Relay 1 as com relay", u"Relä 1 som komrelä"},
    {104, 1, u"Relay 2 as alarm relay", u"Relä 2 som larmrelä"},
    {119, 1, u"Block sabotage input", u"Blockera sabotageingång"},
    {101, 0, u"System Owner", u"Systemägare"},
    {109, 100, u"Required version of Unitscope", u"Krävd version av Unitscope"},
    {110, 100, u"Required version of Korvex", u"Krävd version av Korvex"},
    {111, 100, u"Required version of ZTM", u"Krävd version av ZTM"},
    {112, 100, u"Hardware Info", u"Hårdvaruinfo"},
    {113, 0, u"Contact (Name)", u"Kontaktperson (Namn)"},
    {114, 0, u"Contact (Email)", u"Kontaktperson (Email)"},
    {106, 100, u"Firmware Date", u"Mjukvarudatum"},
    {107, 100, u"KernFrame Info", u"KernFrame Info"},
    {108, 100, u"KernFrame Date", u"KernFrame datum"},
    {115, 100, u"Compilation Date", u"Kompileringsdatum"},
    {116, 100, u"Compilation Time", u"Kompileringstid"},
    {117, 108, u"System Uptime", u"Tid sen start"},
    {150, 107, u"Address", u"Adress"},
    {151, 0, u"Description", u"Beskrivning"},
    {152, 2, u"Input Type", u"Ingångstyp"},
    {153, 2, u"Balanced", u"Balanserad"},
    {154, 8, u"Max Temp", u"Max temperatur"},
    {155, 8, u"Min Temp", u"Min temperatur"},
    {156, 8, u"Delayed (sec)", u"Fördröjning (sekunder)"},
    {157, 102, u"Input Status", u"Ingångsstatus"},
    {158, 100, u"Analog Value", u"Analogvärde"},
    {159, 100, u"Info", u"Info"},
    {168, 107, u"Acknowledge", u"Kvittera"},
    {170, 1, u"Use SMS Backup", u"Använd SMS-backup"},
    {171, 4, u"SMS Server List", u"SMS-serverlista"},
    {172, 102, u"SMS Server Status", u"SMS Serverstatus"},
    {180, 1, u"Use SMS", u"Använd SMS-utsändning"},
    {181, 1, u"SMS At Com-fault", u"SMS vid komfel"},
    {182, 1, u"SMS At IP-fault", u"SMS vid IP-fel"},
    {183, 1, u"SMS At GPRS-fault", u"SMS vid GPRS-fel"},
    {184, 1, u"SMS At Input Events", u"SMS vid ingångshändelser"},
    {197, 1, u"SMS At Wireless Alarms", u"SMS vid detektorlarm"},
    {198, 1, u"SMS At Wireless Faults", u"SMS vid detektorfel"},
    {185, 4, u"SMS Receivers", u"SMS-mottagare"},
    {186, 108, u"SMS Sent", u"Skickade SMS"},
    {187, 108, u"SMS Received", u"Mottagna SMS"},
    {188, 108, u"SMS Failed", u"SMS sändfel"},
    {189, 100, u"Last Incoming Phonenumber", u"Senaste inkommande telefonnummer"},
    {220, 7, u"Event Log", u"Eventlogg"},
    {222, 7, u"Debug Log", u"Debuglogg"},
    {224, 7, u"IP Sockets", u"IP Sockets"},
    {252, 7, u"GPRS Sockets", u"GPRS Sockets"},
    {225, 7, u"ARP Table", u"ARP Tabell"},
    {227, 108, u"IP packets dropped", u"IP packets dropped"},
    {228, 108, u"IP packets received", u"IP packets received"},
    {229, 108, u"IP packets sent", u"IP packets sent"},
    {230, 108, u"IP packets dropped (header)", u"IP packets dropped (header)"},
    {231, 108, u"IP packets dropped (too high length)", u"IP packets dropped (too high length)"},
    {232, 108, u"IP packets dropped (too low length)", u"IP packets dropped (too low length)"},
    {233, 108, u"IP packets dropped (fragment)", u"IP packets dropped (fragment)"},
    {234, 108, u"IP packets dropped (checksum)", u"IP packets dropped (checksum)"},
    {235, 108, u"IP packets dropped (protocol)", u"IP packets dropped (protocol)"},
    {236, 108, u"ICMP packets dropped", u"ICMP packets dropped"},
    {237, 108, u"ICMP packets received", u"ICMP packets received"},
    {238, 108, u"ICMP packets sent", u"ICMP packets sent"},
    {239, 108, u"ICMP packets dropped (wrong type)", u"ICMP packets dropped (wrong type)"},
    {240, 108, u"TCP packets dropped", u"TCP packets dropped"},
    {241, 108, u"TCP packets received", u"TCP packets received"},
    {242, 108, u"TCP packets sent", u"TCP packets sent"},
    {243, 108, u"TCP packets dropped (checksum)", u"TCP packets dropped (checksum)"},
    {244, 108, u"TCP packets dropped (bad ack)", u"TCP packets dropped (bad ack)"},
    {245, 108, u"TCP resets received", u"TCP resets received"},
    {246, 108, u"TCP retransmissions", u"TCP retransmissions"},
    {247, 108, u"TCP packets dropped (no buffer)", u"TCP packets dropped (no buffer)"},
    {248, 108, u"TCP syns received", u"TCP syns received"},
    {249, 108, u"ARP packets dropped", u"ARP packets dropped"},
    {250, 108, u"ARP packets received", u"ARP packets received"},
    {251, 108, u"ARP packets sent", u"ARP packets sent"},
    {253, 8, u"IP Debug Timer", u"IP Debugtimer"},
    {254, 8, u"ARP Debug Timer", u"ARP Debugtimer"},
    {255, 108, u"Serial port 1 RX bytes", u"Serial port 1 RX bytes"},
    {256, 108, u"Serial port 1 TX bytes", u"Serial port 1 TX bytes"},
    {257, 108, u"Serial port 2 RX bytes", u"Serial port 2 RX bytes"},
    {258, 108, u"Serial port 2 TX bytes", u"Serial port 2 TX bytes"},
    {4112, 0, u"SOS ID", u"SOS ID"},
    {4113, 0, u"SOS Password", u"SOS Lösenord"},
    {4114, 102, u"Unit Sabotage", u"Enhetssabotage"},
    {4128, 109, u"IEEE Units (Total)", u"Antal IEEE enheter"},
    {4129, 108, u"IEEE Units (Alarm)", u"Antal IEEE enheter i larm"},
    {4130, 108, u"IEEE Units (Fault)", u"Antal IEEE enheter i fel"},
    {4153, 109, u"Zones", u"Zoner"},
    {4132, 2, u"Q7 Mode", u"Q7 Mode"},
    {4133, 2, u"Radio Channel", u"Radiokanal"},
    {4134, 2, u"TX Power (dBm)", u"TX Styrka (dBm)"},
    {4135, 0, u"Extended Pan ID", u"Extended Pan ID"},
    {4136, 0, u"TC Link Key", u"TC Link Key"},
    {4137, 108, u"Radio Mode", u"Radio Mode"},
    {4138, 100, u"Radio Firmware", u"Radio Mjukvaruversion"},
    {4139, 100, u"Radio Firmware Date", u"Radio Mjukvarudatum"},
    {4152, 8, u"Low Battery Level (%)", u"Låg batternivå (%)"},
    {4144, 1, u"Log Parent NWK Change", u"Logga parent NWK skiftning"},
    {4145, 1, u"Log NWK Change", u"Logga NWK skiftning"},
    {4146, 1, u"Log Alarms", u"Logga larm"},
    {4154, 1, u"Relay 3 As IEEE Fire Relay", u"Relä 3 som IEEE brandrelä"},
    {4155, 8, u"Input 1 Zone ID", u"Zone ID för ingång 1"},
    {4156, 8, u"Input 2 Zone ID", u"Zone ID för ingång 2"},
    {4167, 8, u"Request Childs Timer", u"Radiohämtningstimer"},
    {4164, 107, u"Stored Radio Firmware Version", u"Sparade Mjukvaruversion"},
    {4165, 108, u"Stored Radio Firmware Checksum", u"Sparad Mjukvaruchecksumma"},
    {4166, 108, u"Stored Radio Firmware Size", u"Sparad Mjukvarustorlek"},
    {4352, 100, u"Device Mac Address", u"Enhetens Mac adress"},
    {4353, 100, u"Device Firmware", u"Enhetens Mjukvaruinfo"},
    {4354, 110, u"Radio Signal Strength", u"Radiosignalkvalite"},
    {4355, 8, u"Poll time (min)", u"Polltid (min)"},
    {4356, 2, u"Radio Tx Power (dBm)", u"Radio Sändstyrka (dBm)"},
    {4357, 108, u"Selected Radio Channel", u"Vald Radiokanal"},
    {4361, 0, u"Extended PanID", u"Extended PanID"},
    {4362, 0, u"Device TC Link Key", u"Device TC Link Key"},
    {4363, 108, u"Radio Retransmissions", u"Radio Omsändningar"},
    {4364, 108, u"Last Radio Contact", u"Senaste radiokontakt"},
    {4365, 108, u"Radio Status", u"Radiostatus"},
    {4366, 100, u"Device Events", u"Enhetens händelser"},
    {4371, 108, u"Battery Level", u"Batterinivå"},
    {4375, 108, u"Power Level", u"Matningsnivå"},
    {4373, 107, u"Parent MAC", u"Parent MAC"},
    {4374, 100, u"Parent NWK", u"Parent NWK"},
    {4372, 108, u"Current Temperature (C)", u"Aktuell Temperatur (C)"},
    {4358, 8, u"Min Temperature (C)", u"Undre temperaturgräns"},
    {4359, 8, u"Max Temperature (C)", u"Övre temperaturgräns"},
    {4360, 8, u"Temperature poll time (min)", u"Temperaturmätningstid (min)"},
    {4400, 8, u"Analog Sample Frequence (Min)", u"Analog Samplingsfrekvens (Min)"},
    {4401, 2, u"Input Type 1", u"Ingångstyp 1"},
    {4402, 2, u"Input Type 2", u"Ingångstyp 2"},
    {4403, 8, u"Min Temperature Input 1 (C)", u"Undre temperaturgräns In 1 (C)"},
    {4404, 8, u"Min Temperature Input 2 (C)", u"Undre temperaturgräns In 2 (C)"},
    {4405, 8, u"Max Temperature Input 1 (C)", u"Övre temperaturgräns In 1 (C)"},
    {4406, 8, u"Max Temperature Input 2 (C)", u"Övre temperaturgräns In 2 (C)"},
    {4407, 108, u"Analog Value Input 1", u"Analogvärde In 1"},
    {4408, 108, u"Analog Value Input 2", u"Analogvärde In 2"},
    {4409, 8, u"Input Delay 1 (Sec)", u"Ingångsfördröjning In 1 (Sek)"},
    {4410, 8, u"Input Delay 2 (Sec)", u"Ingångsfördröjning In 2 (Sek)"},
    {4411, 1, u"Output 1 Follows Input 1", u"Utgång 1 följer ingång 1"},
    {4412, 1, u"Output 2 Follows Input 2", u"Utgång 2 följer ingång 2"},
    {4413, 107, u"Output 1 Status", u"Status utgång 1"},
    {4414, 107, u"Output 2 Status", u"Status utgång 2"},
    {4096, 2, u"PSTN Protocol", u"PSTN Protokoll"},
    {4097, 8, u"Contact ID Event Offset", u"Contact ID Event Offset"},
    {4098, 8, u"Contact ID Address Offset", u"Contact ID Adress Offset"},
    {4099, 7, u"Contact ID Default Codes", u"Contact ID Default."},
    {4608, 0, u"Contact ID Fire Alarm", u"Ändra Contact ID händelser"},
    {4609, 0, u"Contact ID Fire Fault", u"Ändra Contact ID händelser"},
    {4610, 0, u"Contact ID Fire Reset", u"Ändra Contact ID händelser"},
    {4611, 0, u"Contact ID Burglary Alarm", u"Ändra Contact ID händelser"},
    {4612, 0, u"Contact ID Burglary Fault", u"Ändra Contact ID händelser"},
    {4613, 0, u"Contact ID Burglary Reset", u"Ändra Contact ID händelser"},
    {4614, 0, u"Contact ID Assault Alarm", u"Ändra Contact ID händelser"},
    {4615, 0, u"Contact ID Assault Fault", u"Ändra Contact ID händelser"},
    {4616, 0, u"Contact ID Assault Reset", u"Ändra Contact ID händelser"},
    {4617, 0, u"Contact ID Operational Alarm", u"Ändra Contact ID händelser"},
    {4618, 0, u"Contact ID Operational Fault", u"Ändra Contact ID händelser"},
    {4619, 0, u"Contact ID Operational Reset", u"Ändra Contact ID händelser"},
    {4620, 0, u"Contact ID Water Alarm", u"Ändra Contact ID händelser"},
    {4621, 0, u"Contact ID Water Fault", u"Ändra Contact ID händelser"},
    {4622, 0, u"Contact ID Water Reset", u"Ändra Contact ID händelser"},
    {4623, 0, u"Contact ID Temperature Alarm", u"Ändra Contact ID händelser"},
    {4624, 0, u"Contact ID Temperature Fault", u"Ändra Contact ID händelser"},
    {4625, 0, u"Contact ID Temperature Reset", u"Ändra Contact ID händelser"},
    {4626, 0, u"Contact ID Communication Alarm", u"Ändra Contact ID händelser"},
    {4627, 0, u"Contact ID Communication Reset", u"Ändra Contact ID händelser"},
    {4628, 0, u"Contact ID Power Alarm", u"Ändra Contact ID händelser"},
    {4629, 0, u"Contact ID Power Reset", u"Ändra Contact ID händelser"},
    {4630, 0, u"Contact ID Sabotage Alarm", u"Ändra Contact ID händelser"},
    {4631, 0, u"Contact ID Sabotage Reset", u"Ändra Contact ID händelser"},
    {4632, 0, u"Contact ID Activation", u"Ändra Contact ID händelser"},
    {4633, 0, u"Contact ID Activation Home", u"Ändra Contact ID händelser"},
    {4634, 0, u"Contact ID Deactivation", u"Ändra Contact ID händelser"},
    {4635, 0, u"Contact ID Inhibited Alarm", u"Ändra Contact ID händelser"},
    {5120, 2, u"Notifier Protocol", u"Notifier protokoll"},
    {4896, 101, u"Elevator Function", u"Hisslarmsfunktion"},
    {4897, 8, u"Elevator Alarm Input", u"Ingång för larm"},
    {4898, 8, u"Elevator Service Input", u"Ingång för servicelarm"},
    {4899, 4, u"Elevator Alarm Receivers", u"Larmmottagare hiss"},
    {4900, 4, u"Elevator Service Receivers", u"Servicemottagare hiss"},
    {4901, 101, u"Call Connected", u"Samtal uppkopplat"},
    {4902, 108, u"Call Length", u"Samtalslängd"},
    {4864, 2, u"Serial Protocol", u"Seriellt protokoll"},
    {4865, 11, u"Serial Baudrate", u"Seriell baudrate"},
    {4866, 11, u"Serial Databits", u"Seriell databitar"},
    {4867, 11, u"Serial Stopbits", u"Seriell stoppbitar"},
    {4868, 2, u"Serial Parity", u"Seriell paritet"},
    {4869, 108, u"Serial Timeout Timer", u"Seriell timeout timer"},
    {4870, 8, u"Serial Reload Timer", u"Seriell reload-timer"},
    {4871, 101, u"Serial Connection Online", u"Seriell anslutning ansluten"},
    {4960, 1, u"Robofon Autorestore", u"Robofon autoåterställning"},
    {4961, 1, u"Motorola Full Debug", u"Motorola debug"},
    {4912, 0, u"Robofon Input 1 Alarm Code", u"Robofon larmkod ingång 1"},
    {4913, 0, u"Robofon Input 2 Alarm Code", u"Robofon larmkod ingång 2"},
    {4914, 0, u"Robofon Input 3 Alarm Code", u"Robofon larmkod ingång 3"},
    {4915, 0, u"Robofon Input 4 Alarm Code", u"Robofon larmkod ingång 4"},
    {4916, 0, u"Robofon Input 5 Alarm Code", u"Robofon larmkod ingång 5"},
    {4917, 0, u"Robofon Input 6 Alarm Code", u"Robofon larmkod ingång 6"},
    {4918, 0, u"Robofon Input 7 Alarm Code", u"Robofon larmkod ingång 7"},
    {4919, 0, u"Robofon Input 8 Alarm Code", u"Robofon larmkod ingång 8"},
    {4944, 0, u"Robofon Input 1 Reset Code", u"Robofon återställningskod ingång 1"},
    {4945, 0, u"Robofon Input 2 Reset Code", u"Robofon återställningskod ingång 2"},
    {4946, 0, u"Robofon Input 3 Reset Code", u"Robofon återställningskod ingång 3"},
    {4947, 0, u"Robofon Input 4 Reset Code", u"Robofon återställningskod ingång 4"},
    {4948, 0, u"Robofon Input 5 Reset Code", u"Robofon återställningskod ingång 5"},
    {4949, 0, u"Robofon Input 6 Reset Code", u"Robofon återställningskod ingång 6"},
    {4950, 0, u"Robofon Input 7 Reset Code", u"Robofon återställningskod ingång 7"},
    {4951, 0, u"Robofon Input 8 Reset Code", u"Robofon återställningskod ingång 8"},
};
static_assert(std::size(KEY_ROWS) == 254);

struct OptionRow {
    uint16_t KeyId;
    std::vector<const char*> Options;
};

std::vector<const char*> timezoneOptions() {
    return {"-12", "-11", "-10", "-9", "-8", "-7", "-6", "-5", "-4", "-3",  "-2",  "-1", "0",
            "+1",  "+2",  "+3",  "+4", "+5", "+6", "+7", "+8", "+9", "+10", "+11", "+12"};
}

// Built on first use and never written afterwards.
struct Tables {
    std::array<KeyDefinition, KEY_TABLE_SLOTS> Keys;
    std::array<KeyOptionList, KEY_OPTION_LIST_SLOTS> Options;

    Tables() {
        int slot = 0;
        for (const KeyRow& row : KEY_ROWS) {
            KeyDefinition& key = Keys[slot++];
            key.Id = row.Id;
            key.Type = row.Type;
            key.Label = QString::fromUtf16(row.Label);
            key.LabelSwedish = QString::fromUtf16(row.LabelSwedish);
        }

        const std::vector<const char*> inputTypes = {"Digital", "Analog", "Temperature", "Pulse Count"};
        const OptionRow lists[] = {
            {8, timezoneOptions()},
            {24, {"PAP (Standard)", "CHAP", "MsChapV1", "None"}},
            // Access point names differ per operator; these are common generic ones, offered only
            // as suggestions since the key stays free text.
            {21, {"internet", "internet.m2m", "m2m", "data", "web", "iot"}},
            {25, {"Offline", "Connecting", "Online", "No network available", "Closing"}},
            {31,
             {"Unable to register", "Registered", "Searching", "Denied Access", "Unknown status",
              "Registered Roaming"}},
            {43, {"TCP", "UDP"}},
            {48, {"Offline", "Only IP", "Only GPRS", "IP and GPRS"}},
            {74, {"Offline", "Online"}},
            {152,
             {"Reserved", "Fire", "Burglary", "Assault", "Operational", "Water", "Temperature", "Acknowledge",
              "Activate", "Burglary Home", "Burglary Delayed", "Deactivate", "Activate Home",
              "Buy Alarm Wait Time", "Buy Activate Time", "Burglary Delayed Home", "Activate Forced",
              "Fire Forced"}},
            {153, {"Normally Open", "Normally Closed", "Balanced"}},
            {157, {"Normal", "Alarm", "Fault", "Alarm Acked", "Fault Acked"}},
            {172, {"Offline", "Online"}},
            {11, {"TCP", "UDP"}},
            {4114, {"Normal", "Alarm", "Fault", "Alarm Ack", "Fault Ack"}},
            {4132, {"Protected", "Open"}},
            {4133,
             {"All", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25",
              "26"}},
            {4134, {"0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9", "10",
                    "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"}},
            {4356, {"10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"}},
            {4096,
             {"ContactID", "Robofon", "SIA 0-3 (2016Hz Ack)", "SIA 0-3 (2083Hz Ack)", "SIA 4",
              "ContactID Microsec"}},
            {5120, {"Full Duplex", "Half Duplex"}},
            {4864, {"Debug", "ESPA", "Robofon", "Motorola"}},
            {4865, {"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600"}},
            {4866, {"7", "8"}},
            {4867, {"1", "2"}},
            {4868, {"None", "Even", "Odd"}},
            {4401, inputTypes},
            {4402, inputTypes},
        };
        int listSlot = 0;
        for (const OptionRow& row : lists) {
            KeyOptionList& list = Options[listSlot++];
            list.KeyId = row.KeyId;
            int index = 0;
            for (const char* text : row.Options)
                list.Options[index++] = QString::fromLatin1(text);
        }
    }
};

const Tables& tables() {
    static const Tables instance;
    return instance;
}

constexpr KeyMenuRange MENU_RANGES[MENU_COUNT] = {
    {MENU_IP, "IP", 1, 19, 0xF000},
    {MENU_GPRS, "GPRS", 20, 39, 0xF001},
    {MENU_ALARMSERVER, "Alarm Server", 40, 69, 0xF002},
    {MENU_NEBRYN, "Nebryn", 70, 99, 0xF003},
    {MENU_SYSTEM, "System", 100, 149, 0xF004},
    {MENU_INPUTS, "Inputs", 150, 169, 0xF005},
    {MENU_SMSBACKUP, "SMS Backup", 170, 179, 0xF006},
    {MENU_SMS, "SMS", 180, 199, 0xF007},
    {MENU_LOGS, "Logs", 220, 300, 0xF009},
    {MENU_CUSTOM, "Custom", 4096, 8192, 0xF010},
};

const KeyDefinition EMPTY_KEY{};
const KeyOptionList EMPTY_OPTIONS{};

} // namespace

const KeyDefinition& KeyDefinitionAt(int slot) {
    if (slot < 0 || slot >= KEY_TABLE_SLOTS)
        return EMPTY_KEY;
    return tables().Keys[static_cast<size_t>(slot)];
}

const KeyOptionList& KeyOptionListAt(int slot) {
    if (slot < 0 || slot >= KEY_OPTION_LIST_SLOTS)
        return EMPTY_OPTIONS;
    return tables().Options[static_cast<size_t>(slot)];
}

uint16_t FindKeyIndex(int keyId) {
    const auto& keys = tables().Keys;
    for (int slot = 0; slot < KEY_TABLE_SLOTS; ++slot) {
        if (keys[static_cast<size_t>(slot)].Id == keyId)
            return static_cast<uint16_t>(slot);
    }
    return KEY_NOT_FOUND;
}

uint16_t FindKeyIndexByLabel(const QString& label) {
    const auto& keys = tables().Keys;
    for (int slot = 0; slot < KEY_TABLE_SLOTS; ++slot) {
        const KeyDefinition& key = keys[static_cast<size_t>(slot)];
        if (key.Id != 0 && key.Label == label)
            return static_cast<uint16_t>(slot);
    }
    return KEY_NOT_FOUND;
}

namespace {
const KeyOptionList* findOptionList(int keyId) {
    if (keyId == 0)
        return nullptr;
    for (const KeyOptionList& list : tables().Options) {
        if (list.KeyId == keyId)
            return &list;
    }
    return nullptr;
}
} // namespace

QString GetKeyOptionText(int keyId, int index) {
    const KeyOptionList* list = findOptionList(keyId);
    if (list == nullptr || index < 0 || index >= KEY_OPTIONS_PER_LIST)
        return {};
    return list->Options[index];
}

int KeyOptionCount(int keyId) {
    const KeyOptionList* list = findOptionList(keyId);
    if (list == nullptr)
        return 0;
    int count = 0;
    while (count < KEY_OPTIONS_PER_LIST && !list->Options[count].isEmpty())
        ++count;
    return count;
}

const KeyMenuRange& KeyMenuRangeOf(KeyMenu menu) {
    if (menu < 0 || menu >= MENU_COUNT)
        return MENU_RANGES[0];
    return MENU_RANGES[menu];
}

KeyMenu KeyMenuOfKey(int keyId) {
    for (const KeyMenuRange& range : MENU_RANGES) {
        if (keyId >= range.FirstKey && keyId <= range.LastKey)
            return range.Menu;
    }
    return MENU_NONE;
}

KeyMenu KeyMenuByName(const QString& name) {
    for (const KeyMenuRange& range : MENU_RANGES) {
        if (name == QLatin1String(range.Name))
            return range.Menu;
    }
    return MENU_NONE;
}
