# Writes tests/fuzz/corpus/jet/callbook-jet3.mdb: an Access 97 (Jet 3) database made by
# hand, since no Jet 3 fixture exists and no tool here writes one. Pages: 0 header (from
# the Jet 4 fixture with the version set to Jet 3), 1 the usage maps, 2 and 3 the system
# catalog (definition and one row naming CALLBOOK), 4 and 5 CALLBOOK (definition and the
# rows of tiny.tsv as CP1252 text, values cut to 30 bytes so that no row needs jump bytes).
import os, struct
HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, '..', '..', '..', 'shared', 'fixtures')
PG=2048
def page(): return bytearray(PG)
hdr=bytearray(open(os.path.join(FIXTURES,'mdb','callbook-tiny.mdb'),'rb').read()[:PG])
hdr[0x14:0x18]=b'\0\0\0\0'
def datapage(tdef, rows):
    p=page(); p[0]=1; p[1]=1; struct.pack_into('<I',p,4,tdef); struct.pack_into('<H',p,8,len(rows))
    end=PG
    for i,r in enumerate(rows):
        start=end-len(r); p[start:end]=r; struct.pack_into('<H',p,10+2*i,start); end=start
    free=end-(10+2*len(rows)); struct.pack_into('<H',p,2,free)
    return p
def row(ncols, fixed, var, nulls):
    # fixed: bytes of fixed data; var: list of bytes for var columns; nulls: set of col_nums that are NULL
    body=bytes([ncols])+fixed
    offs=[]
    for v in var: offs.append(len(body)); body+=v
    offs.append(len(body))
    mask=bytearray((ncols+7)//8)
    for c in range(ncols):
        if c not in nulls: mask[c//8]|=1<<(c%8)
    tail=bytes(reversed(offs))+bytes([len(var)])+bytes(mask)
    r=body+tail
    assert len(r)<256
    return r
def tdef(num_rows, ttype, cols, usage_ptr, free_ptr):
    # cols: (name, type, col_num, var_num, fixed_off, size, fixed)
    p=page(); p[0]=2; p[1]=1; p[2:4]=b'VC'
    struct.pack_into('<I',p,12,num_rows); p[20]=ttype
    nvar=sum(1 for c in cols if not c[6])
    struct.pack_into('<HHH',p,21,len(cols),nvar,len(cols))
    struct.pack_into('<II',p,27,0,0)
    struct.pack_into('<I',p,35,usage_ptr); struct.pack_into('<I',p,39,free_ptr)
    pos=43
    for name,typ,num,var,foff,size,fixed in cols:
        e=bytearray(18); e[0]=typ; e[1]=num; struct.pack_into('<H',e,3,var); struct.pack_into('<H',e,5,num)
        e[13]=0x03 if fixed else 0x02; struct.pack_into('<H',e,14,foff); struct.pack_into('<H',e,16,size)
        p[pos:pos+18]=e; pos+=18
    for c in cols:
        n=c[0].encode('cp1252'); p[pos]=len(n); p[pos+1:pos+1+len(n)]=n; pos+=1+len(n)
    struct.pack_into('<I',p,8,pos-8)
    return p
LONGINT,INT,TEXT=4,3,10
msys_cols=[('Id',LONGINT,0,0,0,4,True),('Name',TEXT,1,0,0,255,False),('Type',INT,2,0,4,2,True)]
cb_names=['CALL','Name','QTH','Grid','State','Manager']
cb_cols=[(n,TEXT,i,i,0,255,False) for i,n in enumerate(cb_names)]
rows=[]
for line in open(os.path.join(FIXTURES,'packages','tiny.tsv'),encoding='utf-8').read().splitlines():
    vals=line.split('\t')
    vs=[];nulls=set()
    for i,v in enumerate(vals[:6]):
        if v=='\\N': nulls.add(i); vs.append(b'')
        else: vs.append(v.replace('\\t','\t').encode('cp1252','replace')[:30])
    rows.append(row(6,b'',vs,nulls))
maps=datapage(0,[bytes([0])+struct.pack('<I',0)+bytes([0x08]), bytes([0])+struct.pack('<I',0)+bytes([0]),
                 bytes([0])+struct.pack('<I',0)+bytes([0x20]), bytes([0])+struct.pack('<I',0)+bytes([0])])
msys=tdef(1,0x53,msys_cols,(1<<8)|0,(1<<8)|1)
msysdata=datapage(2,[row(3,struct.pack('<IH',4,1),[b'CALLBOOK'],set())])
cb=tdef(len(rows),0x4e,cb_cols,(1<<8)|2,(1<<8)|3)
cbdata=datapage(4,rows)
out=hdr+maps+msys+msysdata+cb+cbdata
open(os.path.join(HERE,'corpus','jet','callbook-jet3.mdb'),'wb').write(out)
print(len(out), len(rows))
