"""Type stubs of quarn7 (written by src/python/make_stub.py from the built module)."""
import datetime
from typing import Callable, NoReturn, Optional, Union

Result = Union[None, bool, int, float, str, "Object"]
Value = Union[Result, "Variant"]

class Error(Exception):
    number: int
    description: str

class PortBusy(Error): ...
class DeviceLost(Error): ...
class NoSuchDevice(Error): ...
class PermissionDenied(Error): ...

class Variant:
    kind: str
    value: Result

def Integer(value: Value) -> Variant: ...
def Long(value: Value) -> Variant: ...
def Single(value: Value) -> Variant: ...
def Double(value: Value) -> Variant: ...
def String(value: Value) -> Variant: ...
def Boolean(value: Value) -> Variant: ...

class TraceEvent:
    time: float
    direction: str
    bytes: bytes

def log_wire(event: TraceEvent) -> None: ...

class Faults:
    silent: bool
    refuse: bool
    delay: datetime.timedelta
    truncate_replies_to: int
    garbage_prefix: bytes
    drop_first_frames: int
    close_after_frames: int

class Frame:
    received: float
    bytes: bytes
    answer: bytes

class UnitState:
    switches: dict[int, bool]
    settings: dict[int, bytes]
    windows: dict[int, tuple[int, int]]
    text_fields: dict[int, bytes]
    selected_text_field: int
    system_text_field: int
    counter1: int
    counter2: int
    photo_counter: int
    video_seconds: int
    digital_tilt: int
    analogue_tilt: int
    colour: bytes
    resets: int

class SimulatedUnit:
    device_path: str
    frames: list[Frame]
    noise: bytes
    state: UnitState
    faults: Faults
    def set_faults(self, **faults: object) -> None: ...
    def set_tilt(self, digital: int, analogue: int) -> None: ...
    def set_item_data(self, item: int, data: bytes) -> None: ...
    def clear_frames(self) -> None: ...
    def close_line(self) -> None: ...
    def wait_for_frames(self, count: int, timeout: Union[float, datetime.timedelta]) -> bool: ...

class Object: ...

def open(address: Union[str, int]) -> Controller: ...
def simulate(*, pty: bool = False, paced: bool = True, **faults: object) -> Controller: ...
def interface_members() -> list[tuple[str, str, list[str]]]: ...

class Controller(Object):
    unit: SimulatedUnit
    last_outcome: Optional[str]
    def set_trace(self, callback: Optional[Callable[[TraceEvent], object]]) -> None: ...
    def set_fast_reads(self, on: bool) -> None: ...
    @property
    def regel(self) -> Result:
        """property regel: get, let value"""
    @regel.setter
    def regel(self, value: Value) -> None: ...
    @property
    def kolom(self) -> Result:
        """property kolom: get, let value"""
    @kolom.setter
    def kolom(self, value: Value) -> None: ...
    @property
    def mvarComObject(self) -> Result:
        """property mvarComObject: get, set value"""
    @mvarComObject.setter
    def mvarComObject(self, value: Value) -> None: ...
    @property
    def ComObject(self) -> NoReturn:
        """property ComObject: let value"""
    @ComObject.setter
    def ComObject(self, value: Value) -> None: ...
    def OpenClose(self, blnValue: Value = None, /) -> Result:
        """method OpenClose(blnValue): returns its write-backs"""
    @property
    def Poort_nummer(self) -> Result:
        """property Poort_nummer: get, let value"""
    @Poort_nummer.setter
    def Poort_nummer(self, value: Value) -> None: ...
    def settings(self, test: Value = None, /) -> Result:
        """method settings(test): returns its write-backs"""
    def dat_leeg(self) -> None:
        """method dat_leeg()"""
    def floating_point_lezen(self, Waarde: Value = None, /) -> Result:
        """method floating_point_lezen(Waarde): returns its write-backs"""
    def floating_point_zetten(self, Waarde: Value = None, opdr: Value = None, /) -> Union[Result, tuple[Result, ...]]:
        """method floating_point_zetten(Waarde, opdr): returns its write-backs"""
    def meterteller_aan(self) -> None:
        """method meterteller_aan()"""
    def meterteller_uit(self) -> None:
        """method meterteller_uit()"""
    def meterteller2_aan(self) -> None:
        """method meterteller2_aan()"""
    def meterteller2_uit(self) -> None:
        """method meterteller2_uit()"""
    def datum_aan(self) -> None:
        """method datum_aan()"""
    def datum_uit(self) -> None:
        """method datum_uit()"""
    def dig_tilt_aan(self) -> None:
        """method dig_tilt_aan()"""
    def dig_tilt_uit(self) -> None:
        """method dig_tilt_uit()"""
    def ana_tilt_aan(self) -> None:
        """method ana_tilt_aan()"""
    def ana_tilt_uit(self) -> None:
        """method ana_tilt_uit()"""
    def foto_aan(self) -> None:
        """method foto_aan()"""
    def foto_uit(self) -> None:
        """method foto_uit()"""
    def tijd_aan(self) -> None:
        """method tijd_aan()"""
    def tijd_uit(self) -> None:
        """method tijd_uit()"""
    def cursor_aan(self) -> None:
        """method cursor_aan()"""
    def cursor_uit(self) -> None:
        """method cursor_uit()"""
    def cursor_wissel(self) -> None:
        """method cursor_wissel()"""
    def videoteller_aan(self) -> None:
        """method videoteller_aan()"""
    def videoteller_uit(self) -> None:
        """method videoteller_uit()"""
    def snelheidsbalk_aan(self) -> None:
        """method snelheidsbalk_aan()"""
    def snelheidsbalk_uit(self) -> None:
        """method snelheidsbalk_uit()"""
    def snelheidsmeter_aan(self) -> None:
        """method snelheidsmeter_aan()"""
    def snelheidsmeter_uit(self) -> None:
        """method snelheidsmeter_uit()"""
    def systeem_tekst_aan(self) -> None:
        """method systeem_tekst_aan()"""
    def systeem_tekst_uit(self) -> None:
        """method systeem_tekst_uit()"""
    def kijkrichtingdisplay_aan(self) -> None:
        """method kijkrichtingdisplay_aan()"""
    def kijkrichtingdisplay_uit(self) -> None:
        """method kijkrichtingdisplay_uit()"""
    def bedrijfslogo_aan(self) -> None:
        """method bedrijfslogo_aan()"""
    def bedrijfslogo_uit(self) -> None:
        """method bedrijfslogo_uit()"""
    def overlay_aan(self) -> None:
        """method overlay_aan()"""
    def overlay_uit(self) -> None:
        """method overlay_uit()"""
    def Venster_schaduw_aan(self) -> None:
        """method Venster_schaduw_aan()"""
    def Venster_schaduw_uit(self) -> None:
        """method Venster_schaduw_uit()"""
    def tekst_schaduw_aan(self) -> None:
        """method tekst_schaduw_aan()"""
    def tekst_schaduw_uit(self) -> None:
        """method tekst_schaduw_uit()"""
    def testpatroon_aan(self) -> None:
        """method testpatroon_aan()"""
    def testpatroon_uit(self) -> None:
        """method testpatroon_uit()"""
    def reset_DE(self) -> None:
        """method reset_DE()"""
    def overlay_zwart_wit(self) -> None:
        """method overlay_zwart_wit()"""
    def overlay_wit_zwart(self) -> None:
        """method overlay_wit_zwart()"""
    def overlay_wit_zwart_wissel(self, kleur: Value = None, /) -> Result:
        """method overlay_wit_zwart_wissel(kleur): returns its write-backs"""
    def regel_wissen(self) -> None:
        """method regel_wissen()"""
    def Teller1_0(self) -> None:
        """method Teller1_0()"""
    def Teller2_0(self) -> None:
        """method Teller2_0()"""
    def Digitale_tilt_0(self) -> None:
        """method Digitale_tilt_0()"""
    def analoge_tilt_0(self) -> None:
        """method analoge_tilt_0()"""
    def Videoteller_0(self) -> None:
        """method Videoteller_0()"""
    def Fototeller_0(self) -> None:
        """method Fototeller_0()"""
    def schermwissen(self) -> None:
        """method schermwissen()"""
    def toetsenbordbediening(self) -> None:
        """method toetsenbordbediening()"""
    def softwarebediening(self) -> None:
        """method softwarebediening()"""
    def VYX_fabrieksdefault(self) -> None:
        """method VYX_fabrieksdefault()"""
    def automatisch_EEx_logo_aan(self) -> None:
        """method automatisch_EEx_logo_aan()"""
    def automatisch_EEx_logo_uit(self) -> None:
        """method automatisch_EEx_logo_uit()"""
    def kruisdraden_aan(self) -> None:
        """method kruisdraden_aan()"""
    def kruisdraden_uit(self) -> None:
        """method kruisdraden_uit()"""
    def positie_cirkel_aan(self) -> None:
        """method positie_cirkel_aan()"""
    def positie_cirkel_uit(self) -> None:
        """method positie_cirkel_uit()"""
    def hint_venster_aan(self) -> None:
        """method hint_venster_aan()"""
    def hint_venster_uit(self) -> None:
        """method hint_venster_uit()"""
    def start_diameter_meting(self) -> None:
        """method start_diameter_meting()"""
    def cancel_1(self) -> None:
        """method cancel_1()"""
    def zet_cirkel_positie(self) -> None:
        """method zet_cirkel_positie()"""
    def cancel_2(self) -> None:
        """method cancel_2()"""
    def zet_merk_positie(self) -> None:
        """method zet_merk_positie()"""
    def wijzig_lc_teller_richting_aan(self) -> None:
        """method wijzig_lc_teller_richting_aan()"""
    def wijzig_lc_teller_richting_uit(self) -> None:
        """method wijzig_lc_teller_richting_uit()"""
    def num_draaihoek_beeld_aan(self) -> None:
        """method num_draaihoek_beeld_aan()"""
    def num_draaihoek_beeld_uit(self) -> None:
        """method num_draaihoek_beeld_uit()"""
    def hoekmeting_aan(self) -> None:
        """method hoekmeting_aan()"""
    def hoekmeting_uit(self) -> None:
        """method hoekmeting_uit()"""
    def meetlijn_aan(self) -> None:
        """method meetlijn_aan()"""
    def meetlijn_uit(self) -> None:
        """method meetlijn_uit()"""
    def temperatuurbeeld_aan(self) -> None:
        """method temperatuurbeeld_aan()"""
    def temperatuurbeeld_uit(self) -> None:
        """method temperatuurbeeld_uit()"""
    def automatisch_EEx_temp_logo_aan(self) -> None:
        """method automatisch_EEx_temp_logo_aan()"""
    def automatisch_EEx_temp_logo_uit(self) -> None:
        """method automatisch_EEx_temp_logo_uit()"""
    def bevestig_stikstof(self) -> None:
        """method bevestig_stikstof()"""
    def voeruit1(self) -> None:
        """method voeruit1()"""
    @property
    def afstand(self) -> Result:
        """property afstand: get, let afstand"""
    @afstand.setter
    def afstand(self, value: Value) -> None: ...
    @property
    def afstand2(self) -> Result:
        """property afstand2: get, let afstand2"""
    @afstand2.setter
    def afstand2(self, value: Value) -> None: ...
    def lees_data(self, tekst: Value = None, /) -> Result:
        """get lees_data(tekst): returns its write-backs"""
    def lees_tijd(self, tekst: Value = None, /) -> Result:
        """get lees_tijd(tekst): returns its write-backs"""
    def lees_waarde(self, tekst: Value = None, /) -> Result:
        """get lees_waarde(tekst): returns its write-backs"""
    @property
    def foto_nummer(self) -> NoReturn:
        """property foto_nummer: let Waarde"""
    @foto_nummer.setter
    def foto_nummer(self, value: Value) -> None: ...
    @property
    def schrijf_2byte_waarde(self) -> NoReturn:
        """property schrijf_2byte_waarde: let tekst"""
    @schrijf_2byte_waarde.setter
    def schrijf_2byte_waarde(self, value: Value) -> None: ...
    @property
    def schrijf_commando(self) -> NoReturn:
        """property schrijf_commando: let tekst"""
    @schrijf_commando.setter
    def schrijf_commando(self, value: Value) -> None: ...
    @property
    def kies_systeemtekstveld(self) -> NoReturn:
        """property kies_systeemtekstveld: let value"""
    @kies_systeemtekstveld.setter
    def kies_systeemtekstveld(self, value: Value) -> None: ...
    @property
    def schrijf_systeemtekstveld(self) -> NoReturn:
        """property schrijf_systeemtekstveld: let value"""
    @schrijf_systeemtekstveld.setter
    def schrijf_systeemtekstveld(self, value: Value) -> None: ...
    @property
    def schrijf_tekst_veld(self) -> NoReturn:
        """property schrijf_tekst_veld: let value"""
    @schrijf_tekst_veld.setter
    def schrijf_tekst_veld(self, value: Value) -> None: ...
    @property
    def venster_zetten(self) -> NoReturn:
        """property venster_zetten: let value"""
    @venster_zetten.setter
    def venster_zetten(self, value: Value) -> None: ...
    @property
    def waarde_schrijven(self) -> NoReturn:
        """property waarde_schrijven: let tekst"""
    @waarde_schrijven.setter
    def waarde_schrijven(self, value: Value) -> None: ...
    @property
    def eenheid_lc1(self) -> NoReturn:
        """property eenheid_lc1: let Waarde"""
    @eenheid_lc1.setter
    def eenheid_lc1(self, value: Value) -> None: ...
    @property
    def eenheid_lc2(self) -> NoReturn:
        """property eenheid_lc2: let Waarde"""
    @eenheid_lc2.setter
    def eenheid_lc2(self, value: Value) -> None: ...
    @property
    def factor_lc1(self) -> NoReturn:
        """property factor_lc1: let Waarde"""
    @factor_lc1.setter
    def factor_lc1(self, value: Value) -> None: ...
    @property
    def factor_lc2(self) -> NoReturn:
        """property factor_lc2: let Waarde"""
    @factor_lc2.setter
    def factor_lc2(self, value: Value) -> None: ...
    @property
    def eenheid_temperatuur(self) -> NoReturn:
        """property eenheid_temperatuur: let Waarde"""
    @eenheid_temperatuur.setter
    def eenheid_temperatuur(self, value: Value) -> None: ...
    @property
    def tijd(self) -> NoReturn:
        """property tijd: let value"""
    @tijd.setter
    def tijd(self, value: Value) -> None: ...
    @property
    def videoteller(self) -> NoReturn:
        """property videoteller: let tekst"""
    @videoteller.setter
    def videoteller(self, value: Value) -> None: ...
    def voeruit3(self) -> None:
        """method voeruit3()"""
    def voeruit5(self, tekst: Value = None, /) -> Result:
        """method voeruit5(tekst): returns its write-backs"""
    def ZetTekst(self, tekst: Value = None, veld: Value = None, /) -> Union[Result, tuple[Result, ...]]:
        """method ZetTekst(tekst, veld): returns its write-backs"""
    def zettekst_x_y(self, x: Value = None, y: Value = None, tekst: Value = None, /) -> Union[Result, tuple[Result, ...]]:
        """method zettekst_x_y(x, y, tekst): returns its write-backs"""
    def meldingen(self) -> None:
        """method meldingen()"""
    def hooglaag(self, Waarde: Value = None, hoog: Value = None, laag: Value = None, /) -> Union[Result, tuple[Result, ...]]:
        """method hooglaag(Waarde, hoog, laag): returns its write-backs"""
    def revisie(self, tekst: Value = None, /) -> Result:
        """get revisie(tekst): returns its write-backs"""
    def constante_zelmar5(self, tekst: Value = None, /) -> Result:
        """get constante_zelmar5(tekst): returns its write-backs"""
    @property
    def helling_instant(self) -> Result:
        """property helling_instant: get"""
    @property
    def helling_instant_ana(self) -> Result:
        """property helling_instant_ana: get"""
