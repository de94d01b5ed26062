#include "config/default_servers.h"

// The last published address of each institution's public server; several are historical.
// Rows 10 to 17 pad the country to 11 characters so the titles line up.
const std::array<DefaultServer, 19> kDefaultServers = {{
    {"USA. NIST, Gaithersburg, Maryland - 1", "129.6.15.28"},
    {"USA. NIST, Gaithersburg, Maryland - 2", "129.6.15.29"},
    {"USA. NIST, Boulder, Colorado -1", "132.163.96.1"},
    {"USA. NIST, Boulder, Colorado -2", "132.163.96.2"},
    {"USA. NIST, Boulder, Colorado -3", "132.163.96.3"},
    {"USA. University of Colorado, Boulder", "128.138.140.44"},
    {"USA. Microsoft, Redmond, Washington", "131.107.13.100"},
    {"USA. Abovnet, Virginia", "216.200.93.8"},
    {"Australia. The University of Melbourne", "128.250.36.3"},
    {"Chile.     Universidad de Chile. Santiago", "146.83.183.179"},
    {"France.    Observatoire de Paris", "ntp.obspm.fr"},
    {"Germany.   Technische Universitaet Berlin - 1", "130.149.17.21"},
    {"Germany.   Technische Universitaet Berlin - 2", "130.149.17.8"},
    {"Italy.     IEN Galileo Ferraris, Torino", "193.204.114.232"},
    {"Japan.     Fukuoka university", "clock.nc.fukuoka-u.ac.jp"},
    {"Norway.    University of Tromsoe", "ntp-public.uit.no"},
    {"Sweden.    Stupi AB, Stockholm", "192.36.143.150"},
    {"Switzerland. Integrated Systems Laboratory. Zurich", "129.132.2.21"},
    {"UK. University of Cambridge", "131.111.8.28"},
}};

// Host names only: their certificates name them, and anycast keeps them near the user.
const std::array<DefaultServer, 5> kSecureServers = {{
    {"NTS. Cloudflare, worldwide (anycast)", "time.cloudflare.com"},
    {"NTS. Netnod, Sweden (anycast)", "nts.netnod.se"},
    {"NTS. PTB, Braunschweig, Germany - 1", "ptbtime1.ptb.de"},
    {"NTS. PTB, Braunschweig, Germany - 2", "ptbtime2.ptb.de"},
    {"NTS. PTB, Braunschweig, Germany - 3", "ptbtime3.ptb.de"},
}};
