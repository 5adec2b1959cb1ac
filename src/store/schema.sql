-- Tables of the configuration store. The program reads its field definitions (type, width,
-- range) from this text, so every column sits on a line of its own:
--   name TYPE[(width)] [PRIMARY KEY [AUTOINCREMENT]] [CHECK (name BETWEEN low AND high)],
-- Types: INTEGER PRIMARY KEY AUTOINCREMENT (AutoInc: keys are never reused), WORD (16-bit
-- unsigned), SMALLINT (16-bit signed), INTEGER (32-bit signed), FLOAT (64-bit double),
-- TEXT(n) (at most n characters).

-- Reference tables.

CREATE TABLE Port (
    key WORD PRIMARY KEY,
    portname TEXT(4)
);

CREATE TABLE TypeIface (
    key WORD PRIMARY KEY,
    t_iface TEXT(6)
);

CREATE TABLE Baud (
    key WORD PRIMARY KEY,
    baud TEXT(10)
);

CREATE TABLE TypeTransf (
    key WORD PRIMARY KEY,
    t_transf TEXT(15)
);

CREATE TABLE Unit_Measure (
    ID_Units INTEGER PRIMARY KEY,
    UnitsName TEXT(40),
    ShortName TEXT(10),
    ID_BaseUnits INTEGER,
    CoeffToBase FLOAT,
    AddToBase FLOAT
);

CREATE TABLE Sign (
    key WORD PRIMARY KEY,
    sign TEXT(5)
);

CREATE TABLE TypeDevice (
    key WORD PRIMARY KEY,
    t_device TEXT(15),
    t_channel WORD,
    col_achannel WORD,
    col_dchannel WORD,
    col_aochannel WORD,
    col_dochannel WORD,
    col_kvna WORD,
    col_nichannel WORD
);

CREATE TABLE NChannels (
    id_tdevice INTEGER,
    n_chan INTEGER,
    name TEXT(40),
    t_channel INTEGER,
    description TEXT(30),
    umeasure INTEGER
);
CREATE INDEX NChannels_type ON NChannels (id_tdevice, t_channel);

CREATE TABLE TAction (
    key SMALLINT PRIMARY KEY,
    action TEXT(50)
);

-- USPD descriptions and their rows.

CREATE TABLE USPD (
    id_uspd INTEGER PRIMARY KEY AUTOINCREMENT,
    uspd_name TEXT(50),
    enterprise TEXT(50)
);

CREATE TABLE Headline (
    verh SMALLINT,
    verl SMALLINT,
    col_iface SMALLINT,
    col_device SMALLINT,
    col_dchannel SMALLINT,
    col_achannel SMALLINT,
    col_aochannel SMALLINT,
    col_dochannel SMALLINT,
    col_arcchannel SMALLINT,
    need_short_int WORD,
    need_main_int WORD,
    id_uspd INTEGER,
    id_hline INTEGER PRIMARY KEY AUTOINCREMENT,
    led_enable WORD,
    intchan_enable WORD,
    callback WORD
);
CREATE INDEX Headline_uspd ON Headline (id_uspd);

CREATE TABLE ShortArchive (
    short_time_min WORD,
    short_records INTEGER,
    arcchannel SMALLINT,
    id_uspd INTEGER,
    id_sh_arc INTEGER PRIMARY KEY AUTOINCREMENT
);
CREATE INDEX ShortArchive_uspd ON ShortArchive (id_uspd);

CREATE TABLE MainArchive (
    main_time_min WORD,
    main_records INTEGER,
    initial_base SMALLINT,
    arcchannel SMALLINT,
    id_uspd INTEGER,
    id_mn_arc INTEGER PRIMARY KEY AUTOINCREMENT
);
CREATE INDEX MainArchive_uspd ON MainArchive (id_uspd);

CREATE TABLE SpecInterFace (
    id_iface_s INTEGER PRIMARY KEY AUTOINCREMENT,
    id_iface INTEGER,
    col_device WORD,
    port WORD,
    t_iface WORD,
    baud WORD,
    data WORD,
    parity WORD,
    stop FLOAT,
    state_iface WORD,
    DTR_enable WORD,
    id_uspd INTEGER,
    initstring TEXT(40)
);
CREATE INDEX SpecInterFace_uspd ON SpecInterFace (id_uspd);

CREATE TABLE SpecDevice (
    id_device INTEGER PRIMARY KEY AUTOINCREMENT,
    id_device_p INTEGER,
    id_iface_s INTEGER,
    id_iface SMALLINT,
    id_iface_s2 SMALLINT,
    id_iface2 SMALLINT,
    t_device WORD,
    fullname TEXT(40),
    n_on_iface WORD,
    n_on_iface2 WORD,
    col_achannel WORD,
    col_dchannel WORD,
    col_aochannel WORD,
    col_dochannel WORD,
    col_kvna INTEGER,
    t_pool SMALLINT,
    to_answer SMALLINT,
    to_byte_receive SMALLINT,
    t_start SMALLINT,
    stt_answer WORD,
    stt_byte_receive WORD,
    stt_pool WORD,
    stt_start WORD,
    state_timer WORD,
    state_device WORD,
    fl_queue WORD,
    id_uspd INTEGER,
    fl_retrans WORD,
    password TEXT(8),
    col_nichannel SMALLINT,
    num_mod SMALLINT
);
CREATE INDEX SpecDevice_uspd ON SpecDevice (id_uspd);
CREATE INDEX SpecDevice_iface ON SpecDevice (id_iface_s);

-- Channels, one table per kind.

CREATE TABLE SpecAChannel (
    id_achannel INTEGER PRIMARY KEY AUTOINCREMENT,
    id_achannel_p INTEGER,
    type_num TEXT(5),
    id_device INTEGER,
    id_device_p INTEGER,
    name TEXT(20),
    n_channel SMALLINT,
    id_uspd INTEGER,
    t_device SMALLINT,
    num_iface SMALLINT,
    numdevice SMALLINT,
    t_transf WORD,
    u_measure WORD,
    n_u_measure TEXT(10),
    min_code FLOAT,
    max_code FLOAT,
    min_value FLOAT,
    max_value FLOAT,
    emerg_val FLOAT,
    archive WORD,
    marchive WORD,
    st_filter WORD,
    W WORD,
    coef_corr FLOAT,
    act_corr WORD,
    callback WORD,
    hi_lim FLOAT,
    lo_lim FLOAT
);
CREATE INDEX SpecAChannel_uspd ON SpecAChannel (id_uspd);
CREATE INDEX SpecAChannel_device ON SpecAChannel (id_device);

CREATE TABLE SpecNIChannel (
    id_nichannel INTEGER PRIMARY KEY AUTOINCREMENT,
    id_nichannel_p INTEGER,
    type_num TEXT(5),
    id_device INTEGER,
    id_device_p INTEGER,
    name TEXT(20),
    n_channel SMALLINT,
    id_uspd INTEGER,
    t_device INTEGER,
    num_iface SMALLINT,
    numdevice SMALLINT,
    u_measure WORD,
    n_u_measure TEXT(10),
    coef_corr FLOAT,
    act_corr WORD
);
CREATE INDEX SpecNIChannel_uspd ON SpecNIChannel (id_uspd);
CREATE INDEX SpecNIChannel_device ON SpecNIChannel (id_device);

CREATE TABLE SpecDChannel (
    id_dchannel INTEGER PRIMARY KEY AUTOINCREMENT,
    id_dchannel_p INTEGER,
    type_num TEXT(5),
    id_device INTEGER,
    id_device_p INTEGER,
    name TEXT(20),
    n_channel WORD,
    id_uspd INTEGER,
    t_device INTEGER,
    num_iface SMALLINT,
    numdevice SMALLINT,
    archive WORD,
    invers WORD,
    callback WORD,
    cbevent WORD
);
CREATE INDEX SpecDChannel_uspd ON SpecDChannel (id_uspd);
CREATE INDEX SpecDChannel_device ON SpecDChannel (id_device);

CREATE TABLE SpecDOChannel (
    id_dochannel INTEGER PRIMARY KEY AUTOINCREMENT,
    id_dochannel_p INTEGER,
    type_num TEXT(5),
    id_device INTEGER,
    id_device_p INTEGER,
    name TEXT(20),
    n_channel WORD,
    id_uspd INTEGER,
    t_device INTEGER,
    num_iface SMALLINT,
    numdevice SMALLINT,
    archive WORD
);
CREATE INDEX SpecDOChannel_uspd ON SpecDOChannel (id_uspd);
CREATE INDEX SpecDOChannel_device ON SpecDOChannel (id_device);

CREATE TABLE SpecKBHA (
    id_kvna INTEGER PRIMARY KEY AUTOINCREMENT,
    id_kvna_p INTEGER,
    type_num TEXT(5),
    id_device INTEGER,
    id_device_p INTEGER,
    name TEXT(20),
    n_channel SMALLINT,
    id_uspd INTEGER,
    t_device INTEGER,
    num_iface SMALLINT,
    numdevice SMALLINT,
    u_measure WORD,
    n_u_measure TEXT(10)
);
CREATE INDEX SpecKBHA_uspd ON SpecKBHA (id_uspd);
CREATE INDEX SpecKBHA_device ON SpecKBHA (id_device);

CREATE TABLE SpecEmDChannel (
    id_dchannel INTEGER PRIMARY KEY AUTOINCREMENT,
    id_dchannel_p INTEGER,
    type_num TEXT(5),
    id_device INTEGER,
    id_device_p INTEGER,
    name TEXT(20),
    n_channel WORD,
    id_uspd INTEGER,
    t_device INTEGER,
    num_iface SMALLINT,
    numdevice SMALLINT,
    archive WORD,
    invers WORD,
    callback WORD,
    cbevent WORD,
    jingle_time SMALLINT CHECK (jingle_time BETWEEN 0 AND 10000)
);
CREATE INDEX SpecEmDChannel_uspd ON SpecEmDChannel (id_uspd);

CREATE TABLE SpecEmDOChannel (
    id_dochannel INTEGER PRIMARY KEY AUTOINCREMENT,
    id_dochannel_p INTEGER,
    type_num TEXT(5),
    id_device INTEGER,
    id_device_p INTEGER,
    name TEXT(20),
    n_channel WORD,
    id_uspd INTEGER,
    t_device INTEGER,
    num_iface SMALLINT,
    numdevice SMALLINT,
    archive WORD
);
CREATE INDEX SpecEmDOChannel_uspd ON SpecEmDOChannel (id_uspd);

CREATE TABLE CallbackPhone (
    id_phone INTEGER PRIMARY KEY AUTOINCREMENT,
    phonenum TEXT(15),
    id_uspd INTEGER
);
CREATE INDEX CallbackPhone_uspd ON CallbackPhone (id_uspd);

-- Scratch table of the export preview.

CREATE TABLE ChPreview (
    key INTEGER PRIMARY KEY AUTOINCREMENT,
    recaction SMALLINT,
    typechan TEXT(2),
    numchan SMALLINT,
    name TEXT(40),
    needmain SMALLINT,
    needshort SMALLINT,
    needsumm SMALLINT,
    needcurrent SMALLINT,
    needevents SMALLINT,
    needcurrdiskret SMALLINT,
    id_units SMALLINT,
    id_uspd SMALLINT,
    needtimecurr SMALLINT,
    typedevice SMALLINT,
    numdevice SMALLINT,
    numchandev SMALLINT,
    num_iface SMALLINT
);
