#NAME "Seed"
#INDEX_LANGUAGE "English"
#CONTENTS_LANGUAGE "Russian"

cat
kitty{-ies}
	[m1][b]кошка[/b] [p]n[/p] {{note}}
	[m2][ex]a ~ sat[/ex] [s]cat.wav[/s]
	@ ~ nap
	короткий сон
	@
	см. <<dog>>
run(s) (away)
	[trn]бежать[/trn] \[x\]
